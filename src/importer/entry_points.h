// The public procedures of clsImport, as free functions on what each of them
// reads and changes. Each is defined in the file of its subsystem
// (installation lookup, pack details, verification, import driver, hierarchy,
// header import, library loaders).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "importer/planned_pack.h"
#include "importer/selection.h"

namespace kestrel::importer {

// Reads the pack at o.Path: the lists the details string carries, the
// targets marked against the store; records the number the manifest
// announces in `manifest`. Raises a Failure: 1 to 5 for a missing folder or
// manifest, a failed export, a corrupt manifest, a missing data file; the
// header check's refusal, its text naming its place, which is the Failure's
// place too; any other failure's number and text.
SelectionLists ShowLogicPackDetails(const ImportOptions& o, const ImportContext& cx,
                                    pack::ManifestOptions& manifest);
// What VerifyUserSelections found.
struct Verification {
  bool passed = false;
  SelectionLists marked;  // the lists with the marking
  // The driving call's message, which the component words for its caller.
  Error message{0, ""};
  // What the object's ErrorNumber and ErrorDescription say after the call;
  // nothing: what they said before.
  std::optional<Error> reported;
  std::vector<Error> findings;  // every refusal, with its entry
};
// Checks the selection (the details string form hands the marked lists back
// as strOutLPDetails).
Verification VerifyUserSelections(const ImportContext& cx, const SelectionLists& lists);
Verification VerifyUserSelections(const ImportContext& cx, const std::string& strInLPDetails,
                                  std::string& strOutLPDetails);
// Plans, checks and imports the pack: every member of `r` may change.
bool ImportLogicPack(const ImportOptions& o, const ImportContext& cx, ImportResults& r, const SelectionLists& lists,
                     Error& message);
bool ImportLogicPack(const ImportOptions& o, const ImportContext& cx, ImportResults& r, std::string& strLPDetails,
                     Error& message);
bool GetDepthOfProfile(const ImportContext& cx, int32_t& lMprf, int32_t& lPprf, int32_t& lDpth);
// The development VRC (vers, rele, cust) "Qzmap105.dat" of the pack at o.Path
// gives profile `mprf`, three empty texts when it has no line for it. Raises
// a Failure 250 when `manifest` announces no revision information, 299 when
// the file cannot be read.
std::vector<std::string> GetDevelopmentVRC(const ImportOptions& o, const ImportContext& cx,
                                           const pack::ManifestOptions& manifest, int32_t mprf);
// Loads "Qzmap150.dat": the shared functions the store does not hold yet. A
// failure is raised trapped under 899 by the loader's name.
void LoadToMAP150(const PlannedPack& planned, const std::vector<std::string>& header_map, const ImportContext& cx);

}  // namespace kestrel::importer
