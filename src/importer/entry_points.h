// The public procedures of clsImport, as free functions on what each of them
// reads and changes. Each is defined in the file of its subsystem
// (installation lookup, pack details, verification, import driver, hierarchy,
// header import, library loaders).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "importer/planned_pack.h"
#include "importer/selection.h"

namespace kestrel::importer {

// Reads the pack at o.Path; records the number the manifest announces in
// `manifest`. The typed form gives the lists the details string carries,
// and where the header check refused the pack into `refused_at` (when given).
bool ShowLogicPackDetails(const ImportOptions& o, const ImportContext& cx, pack::ManifestOptions& manifest,
                          ErrorState& error, SelectionLists& proposal, std::string* refused_at = nullptr);
bool ShowLogicPackDetails(const ImportOptions& o, const ImportContext& cx, pack::ManifestOptions& manifest,
                          ErrorState& error, std::string& strLPDetails);
// Checks the selection; `marked` receives the lists with the marking (the
// details string form hands them back as strOutLPDetails). `findings`, when
// given, receives every refusal with its entry. The driving calls leave
// their message, which the component words for its caller, in `message`.
bool VerifyUserSelections(const ImportContext& cx, ErrorState& error, const SelectionLists& lists,
                          SelectionLists& marked, Error& message, SelectionFindings findings);
bool VerifyUserSelections(const ImportContext& cx, ErrorState& error, const std::string& strInLPDetails,
                          std::string& strOutLPDetails, Error& message);
// Plans, checks and imports the pack: every member of `r` may change.
bool ImportLogicPack(const ImportOptions& o, const ImportContext& cx, ImportResults& r, const SelectionLists& lists,
                     Error& message);
bool ImportLogicPack(const ImportOptions& o, const ImportContext& cx, ImportResults& r, std::string& strLPDetails,
                     Error& message);
bool GetDepthOfProfile(const ImportContext& cx, int32_t& lMprf, int32_t& lPprf, int32_t& lDpth);
// Reads "Qzmap105.dat" of the pack at o.Path when `manifest` announces revision information.
bool GetDevelopmentVRC(const ImportOptions& o, const ImportContext& cx, const pack::ManifestOptions& manifest,
                       ErrorState& error, int32_t& lMprfIn, std::vector<std::string>& strArray);
bool LoadToMAP150(const PlannedPack& planned, const std::vector<std::string>& header_map, const ImportContext& cx,
                  ErrorState& error);

}  // namespace kestrel::importer
