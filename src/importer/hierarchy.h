// The profile derivation hierarchy: the chain rows of a profile in qzmap101
// (level 1 the profile itself, level k+1 the parent of level k) and its depth
// in qzmap100. Private procedures of clsImport; GetDepthOfProfile is public
// and declared in entry_points.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "importer/import_context.h"
#include "base/error.h"

namespace kestrel::importer {

inline constexpr int32_t kChainRowDuplicate = 801;
inline constexpr int32_t kParentProfileMissing = 802;
inline constexpr int32_t kHierarchyUnexpected = 899;

// Every procedure here raises a Failure: its own number (801, 802,
// ChainTooLong) or 899, the trap's, with its name for anything unexpected.

// Writes `levels` chain rows of profile `mprf`: its own VRC at level 1, then
// the profile named by each from VRC (verf, relf, cusf) in turn. 801 when a
// row of the profile at that level exists already, 802 when a from VRC names
// no stored profile; rows written before a failure stay.
void InsertInMap101(const ImportContext& cx, int16_t mprf, const std::string& vers, const std::string& rele,
                    const std::string& cust, int16_t levels, const std::string& verf, const std::string& relf,
                    const std::string& cusf);

// Five elements, vers, rele, cust of the profile in elements 1, 2, 3; all
// empty when it is not stored.
std::vector<std::string> GetProfileVRC(const ImportContext& cx, std::string_view mprf);

// The profiles whose chain holds `mprf` (the profile itself among them),
// joined by ", " in the order the store returns them; "" when none.
std::string GetDerivedProfiles(const ImportContext& cx, std::string_view mprf);

// The direct parent of a profile as text, "" for a root or a profile not
// stored. Not trapped: a failing statement raises to the caller.
std::string GetParentProfile(const ImportContext& cx, int64_t mprf);

// For every element "A_L" (A a profile, L what GetDerivedProfiles answered
// for A before A's chain was rewritten): every profile D of L below A keeps
// its chain up to A, gets A's present ancestors above it and its new depth.
// Stops at the first failure (899, or ChainTooLong when A's ancestors loop);
// what it changed before stays until the import's unit rolls it back.
void AdjustDerivedChains(const ImportContext& cx, const std::vector<std::string>& chains);

}  // namespace kestrel::importer
