// Statement texts of the store machinery.
#include "store/statements_store.h"

#include "store/sql.h"

namespace kestrel::store {

std::string InsertRowWithParameters(Dialect d, std::string_view table, std::span<const std::string_view> columns) {
  std::string s = "insert into " + std::string(table) + " (";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) s += ',';
    s += columns[i];
  }
  s += ") values (";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) s += ',';
    s += sql::Placeholder(d, i + 1);
  }
  return s + ")";
}

std::string UpdateRowByRowid(std::string_view table, std::span<const std::string_view> columns) {
  std::string s = "update " + std::string(table) + " set ";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) s += ',';
    s += columns[i];
    s += '=';
    s += sql::Placeholder(Dialect::Sqlite, i + 1);
  }
  return s + " where rowid=" + sql::Placeholder(Dialect::Sqlite, columns.size() + 1);
}

std::string SelectAllRowsInStoredOrder(std::string_view table) {
  return "select * from " + std::string(table) + " order by rowid";
}

std::string CountRows(std::string_view table) { return "select count(*) from " + std::string(table); }

}  // namespace kestrel::store
