// Statements of the bulk loader, which fills a table from a data file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// One row of every column, each value a parameter: "insert into T values (?,?,?)".
std::string InsertBulkRow(Dialect d, std::string_view table, size_t columns);

}  // namespace kestrel::store
