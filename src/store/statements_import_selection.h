// Statements of the selection check: which applications and profiles the store already holds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// Whether an application exists: "select appl from qzddi100 where appl = 'A'".
std::string SelectApplicationCode(Dialect d, std::string_view appl);
// The profiles of an application pair, as the selection check asks
// ("where sapp = 'A' and tapp='B'").
std::string SelectProfilesWithApplications(Dialect d, std::string_view sapp, std::string_view tapp);

}  // namespace kestrel::store
