// The manifest's lines and their reading.
#include "pack/manifest.h"

#include <limits>

#include <fmt/compile.h>
#include <fmt/format.h>

#include "base/datetime.h"
#include "base/error.h"
#include "base/text.h"
#include "base/value.h"
#include "pack/component_text.h"
#include "pack/naming.h"
#include "pack/text_checks.h"

namespace kestrel::pack {
namespace manifest {

std::string StatusLine(bool success) {
  return fmt::format(FMT_COMPILE("{}\r\n"), success ? kSuccess : kErrors);
}

std::string ListLine(std::string_view entry) { return fmt::format(FMT_COMPILE("{}\r\n"), entry); }

std::string FileListBlock(std::string_view data_files, std::string_view rule_files) {
  return fmt::format(FMT_COMPILE("{}\r\n{}{}{}\r\n"), kFilesBegin, data_files, rule_files, kFilesEnd);
}

std::string ApplicationBlock(std::string_view applications) {
  return fmt::format(FMT_COMPILE("{}\r\n{}{}\r\n"), kApplicationsBegin, applications, kApplicationsEnd);
}

std::string RevisionsLine(bool exported) {
  return fmt::format(FMT_COMPILE("{}{}\r\n"), kRevisions, exported ? 1 : 0);
}

std::string NewProfileLine(int32_t number) {
  return fmt::format(FMT_COMPILE("{}={}\r\n"), kNewProfile, number);
}

std::string SyncLine(bool for_sync) { return fmt::format(FMT_COMPILE("{}{}\r\n"), kSync, for_sync ? 1 : 0); }

std::string StartLine(std::string_view mprf, std::string_view date, std::string_view time) {
  return fmt::format(FMT_COMPILE("Exporting Migration Profile {} Started at {}   {}\r\n"), mprf, date, time);
}

std::string ProgressLine(std::string_view text, std::string_view date, std::string_view time) {
  return fmt::format(FMT_COMPILE("\t{}{}   {}\r\n"), text, date, time);
}

std::string NoteLine(std::string_view text) { return fmt::format(FMT_COMPILE("\t{}\r\n"), text); }

std::string UnendedNote(std::string_view text) { return fmt::format(FMT_COMPILE("\t{}"), text); }

std::string SuccessLine(std::string_view mprf, std::string_view date, std::string_view time) {
  return fmt::format(FMT_COMPILE("Exporting Migration Profile {} completed Successfully at {}   {}"), mprf, date,
                     time);
}

std::string FailureLines(const Error& e) {
  return fmt::format(
      FMT_COMPILE("Exporting Migration Profile Ended with Errors\r\nError Number      : {}\r\nError Description : {}"),
      e.number(), ComponentDescription(e));
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
    const std::string_view past_end = RuntimeErrorText(rt::InputPastEnd);
    throw ComError(rt::InputPastEnd, read ? fmt::format("{}: {} ends after line {}", past_end, in_->path(), read)
                                          : fmt::format("{}: {} is empty", past_end, in_->path()));
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
  if (line == fmt::format("{}0", kRevisions)) return false;
  if (line == fmt::format("{}1", kRevisions)) return true;
  return std::nullopt;
}

std::optional<bool> SyncValue(std::string_view line) {
  if (line == fmt::format("{}0", kSync)) return false;
  if (line == fmt::format("{}1", kSync)) return true;
  return std::nullopt;
}

std::optional<NewProfile> NewProfileValue(std::string_view line) {
  if (line == fmt::format("{}=0", kNewProfile)) return NewProfile{false, 0};
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
    options.files = lines->Until(manifest::kFilesEnd);
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
    // A line that names no file of the folder ("../x", "/x") is missing
    // from the pack, whatever exists where it points: nothing outside the
    // pack is looked at.
    for (std::string file = lines->Next(); file != manifest::kFilesEnd; file = lines->Next())
      if (!WhyNotAFileName(file).empty() || !files::FileExistsInFolder(env, folder, file)) {
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
