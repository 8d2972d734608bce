// ImportLogicPack: checks the user's selection again, reads the manifest's
// options, records and logs the import plan, and hands over to the
// per-profile import. Nothing is written to the store before that hand-over.
// CheckLogicPack runs the same planning and the pack check alone.
#include "import/import_driver.h"

#include <array>

#include "component/error.h"
#include "import/entry_points.h"
#include "import/run_log.h"
#include "import/selection.h"
#include "import/transaction.h"
#include "pack/manifest.h"

namespace Kestrel20ImpExp::detail {

namespace {

constexpr std::string_view kPlanHeader =
    "Source Profile Number | Source Application | Target Application| Parent Profile Number ";

// Fills one side of the plan (profiles and applications) and logs its entries.
void PlanSide(ImportState& s, const std::vector<std::string>& entries, std::array<std::vector<int32_t>, 2>& profiles,
              std::array<std::vector<std::string>, 2>& applications) {
  WriteImportLog(s, kPlanHeader);
  for (size_t i = 0; i < profiles[0].size(); ++i) {
    auto f = SplitEntry(Piece(entries, i));
    const std::string &number = Piece(f, 0), &sapp = Piece(f, 1), &tapp = Piece(f, 2), &parent = Piece(f, 3);
    profiles[0][i] = NumberOf(number);
    profiles[1][i] = NumberOf(parent);
    applications[0][i] = sapp;
    applications[1][i] = tapp;
    WriteImportLog(s, std::to_string(i) + "---->" + number + "|" + sapp + "|" + tapp + "|" + parent);
  }
}

// The message of a failed per-profile import: its error text, and where the
// check refused the pack when it did.
std::string ImportFailureMessage(const ImportState& s) {
  if (s.RefusedAt.empty()) return s.Error.ErrorDescription;
  return s.Error.ErrorDescription + " (" + std::string(kCheckRefused) + s.RefusedAt + ")";
}

// Steps 2 to 8 of ImportLogicPack and of the check alone: the lists, the
// selection checks (the check alone skips those against the store), the
// manifest and the plan. False, with the message set and logged, when the
// selection is refused; a manifest that cannot be read raises 100.
bool PlanFromDetails(ImportState& s, const std::string& strLPDetails, std::string& strErrorMessage,
                     bool verify_against_store) {
  DetailsLines lines = SplitDetails(strLPDetails);
  WriteImportLog(s, "Logic Pack contents: " + lines.Contents);
  WriteImportLog(s, "Logic pack Import Preference: " + lines.Preference);
  const std::string_view entry_separator(&kEntrySeparator, 1);
  auto sources = SplitList(lines.Contents, entry_separator);
  auto targets = SplitList(lines.Preference, entry_separator);

  if (sources.size() != targets.size()) {
    s.Error.Set(505, "Source and target number of profiles differ.");
    strErrorMessage = s.Error.ErrorDescription;
    WriteImportLog(s, strErrorMessage);
    return false;
  }
  if (CheckTargetRepeats(s, targets, strErrorMessage)) {
    WriteImportLog(s, strErrorMessage);
    return false;
  }
  if (verify_against_store && !VerifySelection(s, sources, targets, strErrorMessage)) {
    WriteImportLog(s, strErrorMessage);
    return false;
  }
  if (!ReadLogicPackManifest(s)) throw ComError(100, "ExportMR.log could not be read.");
  BuildImportPlan(s, sources, targets);
  return true;
}

}  // namespace

bool ReadLogicPackManifest(ImportState& s) {
  // An option line of another text leaves the value the object has.
  pack::ManifestOptions options;
  options.revisions = s.ManifestRevisions;
  options.new_profile = s.ManifestNewProfile;
  options.new_profile_number = s.ManifestNewProfileNumber;
  options.for_sync = s.ManifestForSync;
  if (!pack::ReadLogicPackManifest(s.Path, options, s.ListSeparator)) return false;
  s.ManifestApplications = options.applications;
  s.ManifestRevisions = options.revisions;
  s.ManifestNewProfile = options.new_profile;
  s.ManifestNewProfileNumber = options.new_profile_number;
  s.ManifestForSync = options.for_sync;
  return true;
}

void BuildImportPlan(ImportState& s, const std::vector<std::string>& sources,
                     const std::vector<std::string>& targets) {
  ImportPlan& p = s.Plan;
  const size_t count = sources.size();
  for (auto* side : {&p.SourceProfiles, &p.TargetProfiles})
    for (auto& row : *side) row.assign(count, 0);
  for (auto* side : {&p.SourceApplications, &p.TargetApplications})
    for (auto& row : *side) row.assign(count, std::string());
  p.DevelopmentVRCs.assign(count, std::string());
  p.Size = static_cast<int32_t>(count) - 1;

  PlanSide(s, sources, p.SourceProfiles, p.SourceApplications);
  PlanSide(s, targets, p.TargetProfiles, p.TargetApplications);

  WriteImportLog(s, "Development VRC");
  for (size_t i = 0; i < count; ++i) {
    std::string shown;
    p.DevelopmentVRCs[i] = "__";
    if (s.ManifestRevisions) {
      std::vector<std::string> vrc;
      int32_t mprf = p.SourceProfiles[0][i];
      if (GetDevelopmentVRC(s, mprf, vrc)) {
        p.DevelopmentVRCs[i] = vrc[0] + "_" + vrc[1] + "_" + vrc[2];
        shown = vrc[0] + "|" + vrc[1] + "|" + vrc[2];
      }
    }
    WriteImportLog(s, std::to_string(i) + "---->" + shown);
  }
}

bool ImportLogicPack(ImportState& s, std::string& strLPDetails, std::string& strErrorMessage) {
  try {
    WriteImportLog(s, kImportLogicPackBanner);
    s.RefusedAt.clear();
    if (!PlanFromDetails(s, strLPDetails, strErrorMessage, true)) return false;
    WriteImportLog(s, "Importing Logic pack ...");

    const bool imported = ValidateAndImportEx(s);
    if (!imported) strErrorMessage = ImportFailureMessage(s);

    WriteImportLog(s, kImportLogicPackEndBanner);
    return imported;
  } catch (const std::exception& e) {
    strErrorMessage = UnexpectedErrorReport(AsComError(e));
    s.Error.ErrorDescription = strErrorMessage;
    return false;
  }
}

bool CheckLogicPack(ImportState& s, std::string& strLPDetails, std::string& strErrorMessage) {
  try {
    WriteImportLog(s, kCheckLogicPackBanner);
    s.RefusedAt.clear();
    if (!PlanFromDetails(s, strLPDetails, strErrorMessage, false)) return false;
    std::string place;
    if (CheckLogicPackFiles(s, place)) return true;
    s.RefusedAt = place;
    strErrorMessage = ImportFailureMessage(s);
    WriteImportLog(s, s.Error.ErrorDescription);
    WriteImportLog(s, std::string(kCheckRefused) + place);
    return false;
  } catch (const std::exception& e) {
    strErrorMessage = UnexpectedErrorReport(AsComError(e));
    s.Error.ErrorDescription = strErrorMessage;
    return false;
  }
}

}  // namespace Kestrel20ImpExp::detail
