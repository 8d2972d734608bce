// Statements of the derivation hierarchy: chain rows in qzmap101 and the depth
// of profiles. Interim: the shared statement builders replace these.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace Kestrel20ImpExp::store::chain {

std::string SelectProfileVrc(Dialect d, int64_t mprf);
std::string SelectDerivedProfiles(Dialect d, int64_t pprf);
std::string SelectChainRow(Dialect d, int64_t mprf, int64_t levl);
std::string SelectParentProfileByVrc(Dialect d, std::string_view verf, std::string_view relf,
                                     std::string_view cusf);
std::string SelectAncestorLevel(Dialect d, int64_t ancestor, int64_t descendant);
std::string DeleteChainRowsAbove(Dialect d, int64_t mprf, int64_t levl);
std::string InsertChainRow(Dialect d, int64_t mprf, int64_t levl, std::string_view vers, std::string_view rele,
                           std::string_view cust, int64_t pprf);
std::string UpdateProfileDepth(Dialect d, int64_t mprf, int64_t deph);
std::string SelectParentChainRow(Dialect d, int64_t mprf);
std::string SelectParentLevelRow(Dialect d, int64_t mprf);

}  // namespace Kestrel20ImpExp::store::chain
