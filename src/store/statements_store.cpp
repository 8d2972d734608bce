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

std::string InsertRowKeepingRowId(Dialect d, std::string_view table, std::span<const std::string_view> columns) {
  return InsertRowWithParameters(d, table, columns) + std::string(sql::ReturningRowId(d));
}

std::string UpdateRowByRowid(Dialect d, std::string_view table, std::span<const std::string_view> columns) {
  std::string s = "update " + std::string(table) + " set ";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) s += ',';
    s += columns[i];
    s += '=';
    s += sql::Placeholder(d, i + 1);
  }
  return s + " where " + std::string(sql::RowId(d)) + "=" + sql::Placeholder(d, columns.size() + 1) +
         std::string(sql::ReturningRowId(d));
}

std::string SelectAllRowsInStoredOrder(Dialect d, std::string_view table) {
  return "select * from " + std::string(table) + " order by " + std::string(sql::InsertionOrder(d));
}

std::string CountRows(std::string_view table) { return "select count(*) from " + std::string(table); }

}  // namespace kestrel::store
