// Statements that list what a store holds, for a listing of its profiles:
// none of them changes anything.
#pragma once

#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// Number, applications, VRC, description and depth of every profile, by number.
std::string SelectProfileListing(Dialect d);
// The direct parent of every profile that has one (its level-2 chain row).
std::string SelectDirectParents(Dialect d);
// Per profile number, the rows of a rule table.
std::string CountRowsPerProfile(Dialect d, std::string_view table);

}  // namespace kestrel::store
