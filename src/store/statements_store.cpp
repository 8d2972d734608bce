// Statement texts of the store machinery.
#include "store/statements_store.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "store/sql.h"

namespace kestrel::store {

std::string InsertRowWithParameters(Dialect d, std::string_view table, std::span<const std::string_view> columns,
                                    size_t rows) {
  return fmt::format("insert into {} ({}) values {}", table, fmt::join(columns, ","),
                     sql::ParameterRows(d, columns.size(), rows));
}

namespace {

// "a=?,b=?" or "a=? and b=?", the placeholders numbered from `first`.
std::string Pairs(Dialect d, std::span<const std::string_view> columns, size_t first, std::string_view joint) {
  std::string out;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) out += joint;
    out += fmt::format("{}={}", columns[i], sql::Placeholder(d, first + i));
  }
  return out;
}

}  // namespace

std::string UpdateRowsByKey(Dialect d, std::string_view table, std::span<const std::string_view> columns,
                            std::span<const std::string_view> key) {
  return fmt::format("update {} set {} where {}", table, Pairs(d, columns, 1, ","),
                     Pairs(d, key, columns.size() + 1, " and "));
}

std::string DeleteRowsByKey(Dialect d, std::string_view table, std::span<const std::string_view> key) {
  return fmt::format("delete from {} where {}", table, Pairs(d, key, 1, " and "));
}

std::string SelectEveryColumn(std::string_view table) { return fmt::format("select * from {}", table); }

std::string SelectColumnsWithDefaults(std::string_view table) {
  return fmt::format("select name from pragma_table_xinfo({}) where dflt_value is not null or hidden <> 0",
                     sql::Quoted(table));
}

std::string SelectAllRowsInStoredOrder(Dialect d, std::string_view table) {
  return fmt::format("select * from {} order by {}", table, sql::InsertionOrder(d));
}

std::string CountRows(std::string_view table) { return fmt::format("select count(*) from {}", table); }

std::string SelectStoreIdentity(Dialect d) {
  if (d == Dialect::Sqlite) return "select file from pragma_database_list where name = 'main'";
  return "select current_database() || '/' || coalesce(current_schema(), '') || '/' || "
         "coalesce(inet_server_port(), 0) || '/' || pg_postmaster_start_time()";
}

}  // namespace kestrel::store
