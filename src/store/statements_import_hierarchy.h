// Statements of the derivation hierarchy: chain rows in qzmap101 and the depth of profiles.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// The VRC of a profile ("Select vers,rele,cust ...").
std::string SelectProfileVrc(Dialect d, int64_t mprf);
// The profiles whose chain holds a profile, the profile itself included.
std::string SelectDerivedProfiles(Dialect d, int64_t pprf);
// One chain row of a profile; the number touches the word "and" in T-SQL.
std::string SelectChainRow(Dialect d, int64_t mprf, int64_t levl);
// The parent of a profile being chained, found by its from VRC ("cust ='").
std::string SelectParentProfileByVrc(Dialect d, std::string_view verf, std::string_view relf,
                                     std::string_view cusf);
// The level at which profile `ancestor` stands in the chain of `descendant`.
std::string SelectAncestorLevel(Dialect d, int64_t ancestor, int64_t descendant);
// Removes the chain rows of a profile above a level.
std::string DeleteChainRowsAbove(Dialect d, int64_t mprf, int64_t levl);
// Adds a chain row.
std::string InsertChainRow(Dialect d, int64_t mprf, int64_t levl, std::string_view vers, std::string_view rele,
                           std::string_view cust, int64_t pprf);
// Sets the depth of a profile.
std::string UpdateProfileDepth(Dialect d, int64_t mprf, int64_t deph);
// The level-2 chain row of a profile, as the depth calculation asks
// ("where mprf=12 and levl=2").
std::string SelectParentChainRow(Dialect d, int64_t mprf);

}  // namespace kestrel::store
