// Statements of the rule, library and function loaders.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// A library function of a profile under its VRC.
std::string SelectLibraryFunction(Dialect d, int64_t mprf, std::string_view vers, std::string_view rele,
                                  std::string_view cust, std::string_view fnam);
// One revision of a library function.
std::string SelectLibraryRevision(Dialect d, int64_t mprf, std::string_view vers, std::string_view rele,
                                  std::string_view cust, std::string_view fnam, int64_t revi);
// A shared function by name.
std::string SelectSharedFunction(Dialect d, std::string_view func);

}  // namespace kestrel::store
