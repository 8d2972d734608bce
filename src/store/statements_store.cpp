// Statement texts of the store machinery.
#include "store/statements_store.h"

namespace Kestrel20ImpExp::store {

std::string InsertRowWithParameters(std::string_view table, std::span<const std::string_view> columns) {
  std::string s = "insert into " + std::string(table) + " (";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) s += ',';
    s += columns[i];
  }
  s += ") values (";
  for (size_t i = 0; i < columns.size(); ++i) s += i ? ",?" : "?";
  return s + ")";
}

std::string UpdateRowByRowid(std::string_view table, std::span<const std::string_view> columns) {
  std::string s = "update " + std::string(table) + " set ";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) s += ',';
    s += columns[i];
    s += "=?";
  }
  return s + " where rowid=?";
}

std::string SelectAllRowsInStoredOrder(std::string_view table) {
  return "select * from " + std::string(table) + " order by rowid";
}

std::string CountRows(std::string_view table) { return "select count(*) from " + std::string(table); }

}  // namespace Kestrel20ImpExp::store
