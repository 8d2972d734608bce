// Statements that both sides of the component use to find profiles and
// applications.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// The header row of a profile: "select * from qzmap100 where mprf = 12".
std::string SelectProfile(Dialect d, int64_t mprf);

// The profile of a VRC, its three columns compared one by one.
std::string SelectProfileByVrc(Dialect d, std::string_view vers, std::string_view rele, std::string_view cust);

// The rows of one application in one application table (or qzddi100):
// "select * from qzddi140 where appl='EXB'".
std::string SelectApplicationRows(Dialect d, std::string_view table, std::string_view appl);

// The level-2 chain row of a profile, whose pprf is its direct parent.
std::string SelectParentLevelRow(Dialect d, int64_t mprf);

}  // namespace kestrel::store
