// The profile header import: every profile of a pack gets its header row in
// qzmap100 under a VRC the store does not hold yet, its development VRC in
// qzmap105 (packs with revision information), its chain in qzmap101 and the
// assignment of its owner in qzusr110. The VRCs decided here reach the rule
// loaders through the header map.
// Internal to the import and its tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "importer/import_context.h"
#include "base/error.h"
#include "importer/planned_pack.h"

namespace kestrel::importer {

inline constexpr int32_t kHeaderImportUnexpected = 899;
inline constexpr std::string_view kHeaderLineMissing = "QZMAP100 entry not present in the profile mapping";

// The helpers below take and give header map elements ("number_vers_rele_cust")
// and run no trap of their own: a failing statement raises to the header
// import's trap. An element of fewer than four parts raises 9.

// True when the store holds a profile whose vers + rele + cust equals the
// element's.
bool VRCExists(const ImportContext& cx, const std::string& element);

// The element with the first free customer code of "imp1" ... "imp9",
// "im10" ... "im99", "i100" ... "i999"; the element unchanged when all are taken.
std::string GenerateImportVRC(const ImportContext& cx, const std::string& element);

// True when the store holds profiles of the application pair; `versions`
// receives their vers joined by "|" in the order the store returns them.
bool VersionsWithApplications(const ImportContext& cx, const std::string& sapp, const std::string& tapp,
                              std::string& versions);

// The element with a free update version: the first three characters of vers
// and "U", else the first two, 1 ... 9 and "U", else the first one,
// 10 ... 99 and "U". "" when all are taken.
std::string GenerateUpdateVRC(const ImportContext& cx, const std::string& element);

// Imports the headers of every element of `header_map`, in map order, and
// appends "," and the new number of every profile it reaches to
// `strImported`. Replaces the header map with the VRCs it decided once every
// element is done; a profile without a line in
// "Qzmap100.dat" ends the walk with the map as it was. Raises a Failure after
// an unexpected failure (899) or when no update VRC is left
// (Ours::UpdateVrcExhausted). Gives the last failure it went on after: 100
// for a missing line, a parent VRC, a depth or a chain that could not be had
// or written; nothing when there was none.
std::optional<Error> ImportProfileHeaders(const PlannedPack& planned, const ImportContext& cx,
                                          std::vector<std::string>& header_map, std::string& strImported);

}  // namespace kestrel::importer
