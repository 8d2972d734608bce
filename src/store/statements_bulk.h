// Statements of the bulk loader, which fills a table from a data file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// `rows` rows of every column, each value a parameter, numbered row by row:
// "insert into T values (?,?,?)", or "(?,?),(?,?)" for two rows of two.
std::string InsertBulkRow(Dialect d, std::string_view table, size_t columns, size_t rows = 1);

}  // namespace kestrel::store
