// The run log's lines: every event of an import as the original component
// wrote it, byte for byte, its odd spacing and its few slips (a shared
// functions' failure reads as the rules', a folder is "before creating"
// twice) included, since hosts and their scripts read these lines.
#include "kestrel/run_log_text.h"

#include <memory>

#include <fmt/format.h>

#include "base/datetime.h"
#include "base/error.h"
#include "base/files.h"
#include "importer/transaction.h"
#include "kestrel/pack_facts.h"
#include "pack/component_text.h"

namespace kestrel {
namespace {

using Kind = RunLogEvent::Kind;

constexpr std::string_view kImportLogicPackBanner =
    "----------------------------------Import Logic Pack----------------------------------";
constexpr std::string_view kImportLogicPackEndBanner =
    "----------------------------------End Import Logic Pack----------------------------------";
constexpr std::string_view kCheckLogicPackBanner =
    "----------------------------------Check Logic Pack----------------------------------";
constexpr std::string_view kVerifyUserSelectionBanner =
    "---------------------------Verify User Selection---------------------------";
constexpr std::string_view kPlanHeader =
    "Source Profile Number | Source Application | Target Application| Parent Profile Number ";
constexpr std::string_view kHeaderLinePrefix = "qzmap100.dat ----> ";
constexpr std::string_view kApplicationStillStored = "Import failed. Applications not deleted before importing.";
constexpr std::string_view kCreatingFolder = " Before Creating folder: ";

// How each loader's start, end and failure read.
struct StepTexts {
  std::string_view started, done, failed;
};

StepTexts TextsOf(ImportStep step) {
  switch (step) {
    case ImportStep::Applications:
      return {"Importing Application ...", "Importing Application...done", "Importing Application Failed."};
    case ImportStep::Headers:
      return {"Importing qzmap100...", "Importing qzmap100...done", "Importing qzmap100 failed"};
    case ImportStep::Library:
      return {"Importing qzlib100...", "Importing qzlib100...done", "Importing qzlib100 failed."};
    case ImportStep::Rules:
      return {"Importing qzmap120...", "Importing qzmap120...done", "Importing qzmap120 failed."};
    case ImportStep::Functions:
      return {"Importing qzmap150...", "Importing qzmap150...done", "Importing qzmap120 failed."};
    case ImportStep::Revisions:
      return {"Importing qzmap110, 125...", "Importing qzmap110, 125...done", "Importing qzmap110, 125 failed"};
  }
  return {};
}

std::string Joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += separator;
    out += parts[i];
  }
  return out;
}

const std::string& Field(const RunLogEvent& e, size_t i) {
  static const std::string none;
  return i < e.fields.size() ? e.fields[i] : none;
}

// The event's failure as the component words it.
std::string Description(const RunLogEvent& e) { return e.error ? pack::ComponentDescription(*e.error) : std::string(); }

}  // namespace

std::string RunLogText(const RunLogEvent& e) {
  switch (e.kind) {
    case Kind::ImportStarted: return std::string(kImportLogicPackBanner);
    case Kind::ImportEnded: return std::string(kImportLogicPackEndBanner);
    case Kind::CheckStarted: return std::string(kCheckLogicPackBanner);
    case Kind::VerifyStarted: return std::string(kVerifyUserSelectionBanner);
    case Kind::LoadingStarted: return "Importing Logic pack ...";
    case Kind::PackContents: return "Logic Pack contents: " + e.text;
    case Kind::ImportPreference: return "Logic pack Import Preference: " + e.text;
    case Kind::PlanHeader: return std::string(kPlanHeader);
    case Kind::PlanEntry:
      return fmt::format("{}---->{}|{}|{}|{}", e.index, e.profile, Field(e, 0), Field(e, 1), Field(e, 2));
    case Kind::DevelopmentVrcHeader: return "Development VRC";
    case Kind::DevelopmentVrc: return fmt::format("{}---->{}", e.index, Joined(e.fields, "|"));
    case Kind::ArraySorted: return "Sorting array ...";
    case Kind::ArrayElement: return fmt::format("{}---->{}", e.index, e.text);
    case Kind::PackWithoutSums: return std::string(kNoPackSumsNotice);
    case Kind::PackCheckStarted: return "Checking logic pack ...";
    case Kind::PackCheckDone: return "Checking logic pack...done";
    case Kind::PackRefused: return std::string(importer::kCheckRefused) + e.text;
    case Kind::StepStarted: return std::string(TextsOf(e.step).started);
    case Kind::StepDone: return std::string(TextsOf(e.step).done);
    case Kind::StepFailed: return std::string(TextsOf(e.step).failed);
    case Kind::ProcedureFailed: return e.procedure + " failed.";
    case Kind::HeaderLineRead:
    case Kind::HeaderLineSelected: return std::string(kHeaderLinePrefix) + e.text;
    case Kind::ProfilesToAdjust: return "Profiles to adjust: " + e.profile + "_" + e.text;
    case Kind::ProfileDeleting: return "Deleting existing profile: " + e.profile;
    case Kind::ProfileDeleted: return "Profile deleted: " + e.profile;
    case Kind::ApplicationDeleting: return "Deleting existing application: " + e.application;
    case Kind::ApplicationDeleted: return "Deleted application: " + e.application;
    case Kind::FolderCreating:
    case Kind::FolderCreated: return std::string(kCreatingFolder) + e.path;
    case Kind::FolderNotRemoved: return fmt::format("The import folder {} was not removed: {}", e.path, Description(e));
    case Kind::LeftFolderRemoved: return "Removed the working folder an earlier import left: " + e.path;
    case Kind::LeftFolderNotRemoved:
      return fmt::format("The working folder an earlier import left, {}, was not removed: {}", e.path, Description(e));
    case Kind::ApplicationStillStored: return std::string(kApplicationStillStored);
    case Kind::ApplicationLoading: return "Loading application " + e.application + "...";
    case Kind::DataFileMissing: return "Data file not found for table " + e.table;
    case Kind::ApplicationLoaded: return "Loading application " + e.application + " done.";
    case Kind::ApplicationLoadFailed:
      return e.table.empty() ? "Loading application " + e.application + " failed."
                             : fmt::format("Application Loading failed while loading {}.", e.table);
    case Kind::VrcFromPack: return "VRC from Logic pack: " + e.vrc;
    case Kind::VrcGenerated: return "Generated VRC: " + e.vrc;
    case Kind::VrcPresent: return "Present VRC name: " + e.vrc;
    case Kind::VrcForUpdateProfile: return "VRC Name for Update Profile: " + e.vrc;
    case Kind::HeaderInserted: return "Inserting qzmap100: " + Joined(e.fields, "|");
    case Kind::ProfilesImported: return "Imported profiles: " + e.text;
    case Kind::RolledBack: return std::string(kImportRolledBack);
    case Kind::DryRunRolledBack: return std::string(kDryRunRolledBack);
    case Kind::Failure: return Description(e);
    case Kind::Unexpected:
      return e.error ? pack::ComponentDescription(Error(e.error->number(), TrapHead::Unexpected, {}, *e.error))
                     : std::string();
    case Kind::Trap:
      return fmt::format("{} : \r\n{}{}", e.procedure, Description(e), e.error ? e.error->number() : 0);
    case Kind::SelectionVerified: return e.text;
  }
  return {};
}

void AppendRunLog(Env& env, const std::string& file, const RunLogEvent& event) {
  if (file.empty()) return;
  // The log must never stop an import: every failure here only loses the line.
  std::unique_ptr<files::TextWriter> log;
  try {
    log = files::TextWriter::Append(env, file);
  } catch (const std::exception&) {
    try {
      log = files::TextWriter::Create(env, file);
    } catch (const std::exception&) {
      return;
    }
  }
  try {
    std::string line = FormatDateTime(env.Now());
    line += ' ';
    line += RunLogText(event);
    log->WriteLine(line);
    log->Close();
  } catch (const std::exception&) {
  }
}

}  // namespace kestrel
