// Look-ups in the import plan and the header map that the per-profile import,
// the header import and the rule loaders share: which number a pack profile
// takes (and back), how a header line takes the user's selection, and the one
// header map and its joined form as the run log shows it.
// Internal to the import and its tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "importer/import_results.h"

namespace kestrel::importer {

// A profile number written as text, as the run time converts one: blanks
// around it are ignored, anything not numeric raises 13.
int64_t NumberOfText(std::string_view number);

// The target profile number of the first plan entry whose source profile
// number is `mprf`; 0 when none (also for an empty plan).
int32_t MapSourceProfile(const ImportPlan& plan, int32_t mprf);
// The reverse: the source profile number of the first entry whose target
// profile number is `mprf`; 0 when none.
int32_t MapTargetProfile(const ImportPlan& plan, int32_t mprf);

inline constexpr int32_t kHeaderLineError = 100;
inline constexpr std::string_view kHeaderLineCorrupt =
    "Import Migration Profile - Qzmap100.dat file is not having enough data or file is corrupted";
inline constexpr std::string_view kProfileNotSelected = "The profile could not be found in user selected list.";
inline constexpr size_t kHeaderFieldCount = 18;
// The chain file "Qzmap101.dat": its failures share the header line's number.
inline constexpr std::string_view kChainFileCorrupt =
    "Import Migration Profile - Qzmap101.dat file is not having enough data or file is corrupted";
inline constexpr size_t kChainFieldCount = 6;

// Splits a line of "Qzmap100.dat" at `separator` into `fields` and gives the
// pack profile the number and applications of the plan's target entry at the
// position of the first source entry with its number; `index` receives that
// position. A line without exactly 18 fields raises a Failure 100
// (kHeaderLineCorrupt), which the traps above pass on. A number no source
// entry carries raises ComError 100 (kProfileNotSelected) for the caller's
// trap; a field 1 that is not a number raises 13.
void ApplySelectionToHeader(const ImportPlan& plan, std::string_view separator, const std::string& line,
                            int32_t& index, std::vector<std::string>& fields);

// One element of the header map: the profile's number in the store and the
// VRC it is stored under, joined by "_".
struct HeaderEntry {
  std::string Number, Vers, Rele, Cust;
};
// Splits an element at "_"; fewer than four pieces raise 9 "Subscript out of
// range" (pieces after the fourth are ignored).
HeaderEntry SplitHeaderEntry(std::string_view element);
std::string JoinHeaderEntry(const HeaderEntry& e);

// The elements of the header map joined by `separator`: the imported
// profiles as the run log lists them.
std::string ImportedProfiles(const std::vector<std::string>& map, std::string_view separator);

// A vers or cust with "d" in place of its first character: the development
// VRC a profile, and a rule kept under it, are stored under.
std::string DevelopmentPart(std::string_view part);

// The first element of the header map, in map order, whose number equals
// `mprf`, with its position; nullopt when none. A number that is not numeric
// raises 13.
struct HeaderMatch {
  size_t Position;
  HeaderEntry Entry;
};
std::optional<HeaderMatch> FindInHeaderMap(const std::vector<std::string>& map, int64_t mprf);

}  // namespace kestrel::importer
