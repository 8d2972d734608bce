// Statement texts of the store machinery.
#include "store/statements_store.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <vector>

#include "store/sql.h"

namespace kestrel::store {
namespace {

// "$1,$2,..." or "?,?,..." for `n` values, the first numbered `first`.
std::string Placeholders(Dialect d, size_t n, size_t first = 1) {
  std::vector<std::string> p;
  for (size_t i = first; i < first + n; ++i) p.push_back(sql::Placeholder(d, i));
  return fmt::format("{}", fmt::join(p, ","));
}

}  // namespace

std::string InsertRowWithParameters(Dialect d, std::string_view table, std::span<const std::string_view> columns,
                                    size_t rows) {
  std::string text = fmt::format("insert into {} ({}) values ", table, fmt::join(columns, ","));
  for (size_t r = 0; r < rows; ++r)
    text += fmt::format("{}({})", r ? "," : "", Placeholders(d, columns.size(), r * columns.size() + 1));
  return text;
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

std::string SelectAllRowsInStoredOrder(Dialect d, std::string_view table) {
  return fmt::format("select * from {} order by {}", table, sql::InsertionOrder(d));
}

std::string CountRows(std::string_view table) { return fmt::format("select count(*) from {}", table); }

}  // namespace kestrel::store
