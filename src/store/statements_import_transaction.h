// Statements that delete the profiles and applications an import replaces.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// Deletes a profile's rows from one of its seventeen tables. qzusr110 keeps
// the number binary: SQLite compares it through a cast.
std::string DeleteProfileRows(Dialect d, std::string_view table, int64_t mprf);
// Deletes an application's rows from one of its eleven tables.
std::string DeleteApplicationRows(Dialect d, std::string_view table, std::string_view appl);

}  // namespace kestrel::store
