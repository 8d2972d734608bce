// The target store's tables as the check before an import needs them: the
// columns of each table and the widths the store declares for them, read
// once per table. Callers guarantee that the connection outlives the object
// and that table names are plain names.
// Internal to the import and its tests.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/connection.h"

namespace kestrel::importer {

class StoreTables {
 public:
  explicit StoreTables(store::Connection& c) : c_(c) {}

  // The table's columns in their order, lower case, read from an empty
  // select. A table the store cannot select from raises 9042 with the
  // store's own text.
  const std::vector<std::string>& Columns(std::string_view table);

  // The most bytes a column holds when the store declares a width for it
  // (a character type with one, "varchar(12)"), else nullopt.
  std::optional<size_t> Width(std::string_view table, std::string_view column);

  // Raises 9020 naming the table and the column when the table lacks it.
  void RequireColumn(std::string_view table, std::string_view column);
  // Raises 9020 as RequireColumn does for the first column of the table's
  // schema that the store's table lacks: a pack file carries every one, so
  // that its rows would seem too wide for a table without one.
  void RequireSchemaColumns(std::string_view table);
  // The refusal RequireColumn raises, for a caller that looked the column up
  // in Columns itself.
  [[noreturn]] static void RaiseColumnMissing(std::string_view table, std::string_view column);

 private:
  store::Connection& c_;
  std::map<std::string, std::vector<std::string>, std::less<>> columns_;
  std::map<std::string, std::map<std::string, size_t, std::less<>>, std::less<>> widths_;
};

}  // namespace kestrel::importer
