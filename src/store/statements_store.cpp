// Statement texts of the store machinery.
#include "store/statements_store.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <vector>

#include "store/sql.h"

namespace kestrel::store {

std::string InsertRowWithParameters(Dialect d, std::string_view table, std::span<const std::string_view> columns,
                                    size_t rows) {
  return fmt::format("insert into {} ({}) values {}", table, fmt::join(columns, ","),
                     sql::ParameterRows(d, columns.size(), rows));
}

std::string InsertRowKeepingRowId(Dialect d, std::string_view table, std::span<const std::string_view> columns) {
  return InsertRowWithParameters(d, table, columns) + std::string(sql::ReturningRowId(d));
}

std::string UpdateRowByRowid(Dialect d, std::string_view table, std::span<const std::string_view> columns) {
  std::vector<std::string> sets;
  for (size_t i = 0; i < columns.size(); ++i)
    sets.push_back(fmt::format("{}={}", columns[i], sql::Placeholder(d, i + 1)));
  return fmt::format("update {} set {} where {}={}{}", table, fmt::join(sets, ","), sql::RowId(d),
                     sql::Placeholder(d, columns.size() + 1), sql::ReturningRowId(d));
}

std::string SelectColumnsDefaultingToNull(std::string_view table) {
  return fmt::format("select name from pragma_table_xinfo({}) where dflt_value is null and hidden = 0",
                     sql::Quoted(table));
}

std::string SelectAllRowsInStoredOrder(Dialect d, std::string_view table) {
  return fmt::format("select * from {} order by {}", table, sql::InsertionOrder(d));
}

std::string CountRows(std::string_view table) { return fmt::format("select count(*) from {}", table); }

}  // namespace kestrel::store
