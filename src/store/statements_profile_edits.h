// Statements of the edits of one stored profile: its deletion and its
// renumbering (store/profile_edits.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// The profiles whose parent is `mprf`: their level-2 chain rows name it.
std::string SelectChildProfiles(Dialect d, int64_t mprf);
// Gives a profile's rows in one of its seventeen tables another number;
// qzusr110 keeps it binary.
std::string RenumberProfileRows(Dialect d, std::string_view table, int64_t from, int64_t to);
// Gives every chain row that names profile `from` at some level (its own,
// and its descendants') the number `to`.
std::string RenumberChainLevels(Dialect d, int64_t from, int64_t to);

}  // namespace kestrel::store
