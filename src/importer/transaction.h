// The per-profile import of a planned logic pack: every header line takes the
// number and applications the user chose, the profiles and applications it
// replaces are deleted, the loaders run in their fixed order, and the chains
// of profiles derived from a replaced one are repaired. The whole pack is
// read and converted once more without writing (PackCheck), the part that asks
// the store before the first delete and the rule files while they load, so
// that a pack that cannot be loaded is refused and the store left as it was.
// Internal to the import and its tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "importer/pack_file_refusals.h"
#include "importer/planned_pack.h"

namespace kestrel::importer {

inline constexpr int32_t kTransactionUnexpected = 999;
inline constexpr int32_t kProfileImportUnexpected = 899;
// The procedure whose trap catches what the walk of a checked pack raises.
inline constexpr std::string_view kValidateAndImport = "ValidateAndImportEx";

// How a refusal of the check names its place, in the failure's message and
// in the run log.
inline constexpr std::string_view kCheckRefused = "Logic pack refused, the store left as it was: ";

// Walks "Qzmap100.dat": applies the selection to every line, builds the
// header map, deletes the profiles and applications the pack replaces, then
// runs ImportProfileEx and repairs the chains of the replaced profiles'
// descendants. The check's first part runs before the walk, its reading of
// the rule files beside the load (PackCheck); its refusal wins over any
// failure of the load, and the caller must then roll the unit back. False
// with 100 for a header line without 18 fields, 999 for an unexpected
// failure of the walk (a line not in the plan among them), or the error of
// the step that failed. Leaves the header map in r and, when the check
// refuses the pack, where it did in r.RefusedAt.
bool ValidateAndImportEx(const ImportOptions& o, const ImportContext& cx, ImportResults& r);

// Runs the whole pack check (CheckLogicPackFiles). When it refuses the pack,
// puts the error into r.Error and the file and line into r.RefusedAt, logs
// both, and gives true.
bool CheckRefusesPack(const PlannedPack& planned, const ImportContext& cx, ImportResults& r);

// How the header file is walked: the import logs every line and deletes what
// it replaces; the check only applies the selection and builds the map.
enum class HeaderWalk { Check, Import };

// Walks "Qzmap100.dat" line by line: applies the selection, fills `map` with
// "number_vers_rele_cust" and `adjust` with "_" or "number_derived profiles"
// (file order), and (importing) `replaced` with the profiles and applications
// it deletes. `line_number` receives the line being walked. Raises a Failure
// 100 for a line without 18 fields (or a store look-up's, failing); a line
// not in the plan, a field 1 that is no number or more lines than the plan
// has entries raise to the caller's trap.
void WalkHeaderFile(const PlannedPack& planned, const ImportContext& cx, HeaderWalk mode,
                    std::vector<std::string>& map, std::vector<std::string>& adjust, size_t& line_number,
                    ImportSummary& replaced);

// Deletes a profile's rows from its seventeen tables; a table the store does
// not have is skipped, any other refusal raises the store's error.
void DeleteProfile(const ImportContext& cx, int64_t mprf);
// Deletes an application's rows from its eleven tables, skipping and raising
// as DeleteProfile does.
void DeleteApplication(const ImportContext& cx, const std::string& appl);

// Runs the loaders in order: application data, profile headers, function
// library, current rules, shared functions, and the revision history when
// the pack carries it. Each step is logged; the first failure is raised
// (899, trapped by ImportProfileEx, when it was unexpected). Gives the
// failure the header import went on after, if any.
std::optional<Error> ImportProfileEx(const PlannedPack& planned, const ImportContext& cx,
                                     std::vector<std::string>& header_map);

// Runs both parts of PackCheck one after the other, writing nothing: the
// header file's own values (CheckHeaderFile), the chosen application codes
// against the widths the store declares, on the batch path the values its
// lines carry, the application data files (rows as wide as their tables, no
// NUL byte, no collision on the store's unique keys), the header lines (18
// fields, each in the plan), and the library, rule and shared function files
// (no NUL byte, every column they set in the store). The header map it builds
// stays its own. Gives the refusal, with the error as the import would have
// raised it (100, 999, 899 with the loader's text, the batch check's number)
// and the file and line; nothing when the pack passed.
std::optional<PackRefusal> CheckLogicPackFiles(const PlannedPack& planned, const ImportContext& cx);

}  // namespace kestrel::importer
