// The manifest's lines and their reading.
#include "pack/manifest.h"

#include <limits>

#include "base/datetime.h"
#include "base/error.h"
#include "base/text.h"
#include "base/value.h"
#include "pack/naming.h"
#include "pack/text_checks.h"

namespace kestrel::pack {
namespace manifest {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (auto p : parts) out += p;
  return out;
}

}  // namespace

std::string StatusLine(bool success) { return Cat({success ? kSuccess : kErrors, kCrLf}); }

std::string ListLine(std::string_view entry) { return Cat({entry, kCrLf}); }

std::string FileListBlock(std::string_view data_files, std::string_view rule_files) {
  return Cat({kFilesBegin, kCrLf, data_files, rule_files, kFilesEnd, kCrLf});
}

std::string ApplicationBlock(std::string_view applications) {
  return Cat({kApplicationsBegin, kCrLf, applications, kApplicationsEnd, kCrLf});
}

std::string RevisionsLine(bool exported) { return Cat({kRevisions, exported ? "1" : "0", kCrLf}); }

std::string NewProfileLine(int32_t number) { return Cat({kNewProfile, "=", std::to_string(number), kCrLf}); }

std::string SyncLine(bool for_sync) { return Cat({kSync, for_sync ? "1" : "0", kCrLf}); }

std::string StartLine(std::string_view mprf, std::string_view date, std::string_view time) {
  return Cat({"Exporting Migration Profile ", mprf, " Started at ", date, "   ", time, kCrLf});
}

std::string ProgressLine(std::string_view text, std::string_view date, std::string_view time) {
  return Cat({"\t", text, date, "   ", time, kCrLf});
}

std::string NoteLine(std::string_view text) { return Cat({"\t", text, kCrLf}); }

std::string UnendedNote(std::string_view text) { return Cat({"\t", text}); }

std::string SuccessLine(std::string_view mprf, std::string_view date, std::string_view time) {
  return Cat({"Exporting Migration Profile ", mprf, " completed Successfully at ", date, "   ", time});
}

std::string FailureLines(int32_t number, std::string_view description) {
  return Cat({"Exporting Migration Profile Ended with Errors", kCrLf, "Error Number      : ", std::to_string(number),
              kCrLf, "Error Description : ", description});
}

// One reading of the clock for both texts, so that they agree across midnight.
std::string StartLineNow(Env& env, std::string_view mprf) {
  DateTime now = env.Now();
  return StartLine(mprf, FormatDate(now), FormatTime(now));
}

std::string ProgressLineNow(Env& env, std::string_view text) {
  DateTime now = env.Now();
  return ProgressLine(text, FormatDate(now), FormatTime(now));
}

std::string SuccessLineNow(Env& env, std::string_view mprf) {
  DateTime now = env.Now();
  return SuccessLine(mprf, FormatDate(now), FormatTime(now));
}

std::unique_ptr<Lines> Lines::Open(Env& env, const std::string& folder) {
  return std::unique_ptr<Lines>(
      new Lines(files::TextReader::Open(env, files::PathInFolder(env, folder, kManifestFile))));
}

std::string Lines::Next() {
  std::string line;
  if (!in_->ReadLine(line)) {
    const size_t read = in_->line_number();
    throw ComError(rt::InputPastEnd, std::string(RuntimeErrorText(rt::InputPastEnd)) + ": " + in_->path() +
                                         (read ? " ends after line " + std::to_string(read) : " is empty"));
  }
  if (in_->line_number() == 1) RefuseByteOrderMark(line, in_->path());
  return line;
}

std::vector<std::string> Lines::Until(std::string_view marker) {
  std::vector<std::string> lines;
  for (;;) {
    std::string line = Next();
    if (line == marker) return lines;
    lines.push_back(std::move(line));
  }
}

std::optional<bool> RevisionsValue(std::string_view line) {
  if (line == Cat({kRevisions, "0"})) return false;
  if (line == Cat({kRevisions, "1"})) return true;
  return std::nullopt;
}

std::optional<bool> SyncValue(std::string_view line) {
  if (line == Cat({kSync, "0"})) return false;
  if (line == Cat({kSync, "1"})) return true;
  return std::nullopt;
}

std::optional<NewProfile> NewProfileValue(std::string_view line) {
  if (line == Cat({kNewProfile, "=0"})) return NewProfile{false, 0};
  if (line.substr(0, kNewProfile.size()) != kNewProfile) return std::nullopt;
  std::string_view rest = line.size() > kNewProfile.size() + 1 ? line.substr(kNewProfile.size() + 1) : "";
  int64_t n = Value(std::string(rest)).Integer();
  if (n < std::numeric_limits<int16_t>::min() || n > std::numeric_limits<int16_t>::max())
    RaiseRuntime(rt::Overflow);
  return NewProfile{true, static_cast<int16_t>(n)};
}

}  // namespace manifest

bool ReadLogicPackManifest(Env& env, const std::string& folder, ManifestOptions& options,
                           std::string_view list_separator) {
  try {
    auto lines = manifest::Lines::Open(env, folder);
    lines->Next();  // status
    lines->Next();  // start of the file list
    lines->Until(manifest::kFilesEnd);
    lines->Next();  // start of the application list
    std::string applications;
    bool first = true;
    for (const auto& code : lines->Until(manifest::kApplicationsEnd)) {
      if (!first) applications += list_separator;
      applications += code;
      first = false;
    }
    options.applications = std::move(applications);
    if (auto v = manifest::RevisionsValue(lines->Next())) options.revisions = *v;
    if (auto v = manifest::NewProfileValue(lines->Next())) {
      options.new_profile = v->is_new;
      options.new_profile_number = v->number;
    }
    if (auto v = manifest::SyncValue(lines->Next())) options.for_sync = *v;
    lines->Close();
    return true;
  } catch (const ComError&) {
    return false;
  }
}

DetailsManifest CheckManifestForDetails(Env& env, const std::string& folder) {
  DetailsManifest result;
  auto fail = [&result](ManifestFault fault) {
    result.fault = fault;
    return result;
  };
  auto lines = manifest::Lines::Open(env, folder);
  const std::string status = lines->Next();
  if (text::EqualNoCase(status, manifest::kErrors)) return fail(ManifestFault::ExportFailed);
  if (text::EqualNoCase(status, manifest::kSuccess)) {
    if (lines->Next() != manifest::kFilesBegin) return fail(ManifestFault::Corrupt);
    for (std::string file = lines->Next(); file != manifest::kFilesEnd; file = lines->Next())
      if (!files::FileExistsInFolder(env, folder, file)) {
        result.missing_file = file;
        return fail(ManifestFault::MissingFile);
      }
  }
  if (lines->Next() != manifest::kApplicationsBegin) return fail(ManifestFault::Corrupt);
  lines->Until(manifest::kApplicationsEnd);
  if (!manifest::RevisionsValue(lines->Next())) return fail(ManifestFault::Corrupt);
  auto new_profile = manifest::NewProfileValue(lines->Next());
  if (!new_profile) return fail(ManifestFault::Corrupt);
  result.new_profile_number = new_profile->number;
  return result;
}

}  // namespace kestrel::pack
