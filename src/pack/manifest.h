// The manifest ExportMR.log: the shapes of its lines for the export, which
// decides their order and writes the text in one piece, and its reading for
// the import: one reader of its lines, the option lines' meanings, and the
// lenient interpreter ReadLogicPackManifest, and the strict one that checks a
// pack before its details are shown.
//
// Every line ends with CR LF except the last one of the file (the success line
// or the last failure line), which has none.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/files.h"
#include "kestrel/error.h"

namespace kestrel::pack {

namespace manifest {

inline constexpr std::string_view kSuccess = "SUCCESS";
inline constexpr std::string_view kErrors = "ERRORS";
inline constexpr std::string_view kFilesBegin = "--TESTFILES--";
inline constexpr std::string_view kFilesEnd = "--END TESTFILES--";
inline constexpr std::string_view kApplicationsBegin = "--APPLS--";
inline constexpr std::string_view kApplicationsEnd = "--ENDAPPLS--";
inline constexpr std::string_view kRevisions = "ExportRevisions=";
inline constexpr std::string_view kNewProfile = "ExportToNewProfile";  // the number follows "=" at character 20
inline constexpr std::string_view kSync = "ExportForSyn=";

// ---- Line shapes ----

std::string StatusLine(bool success);                   // "SUCCESS" or "ERRORS", CR LF
std::string ListLine(std::string_view entry);           // a file name or application code, CR LF
// The file list: marker, the data files, then the rule files (each list is
// lines of ListLine), end marker.
std::string FileListBlock(std::string_view data_files, std::string_view rule_files);
std::string ApplicationBlock(std::string_view applications);  // markers around lines of ListLine
std::string RevisionsLine(bool exported);               // "ExportRevisions=1" or "=0"
std::string NewProfileLine(int32_t number);             // "ExportToNewProfile=" + number; 0 for none
std::string SyncLine(bool for_sync);                    // "ExportForSyn=1" or "=0"
// "Exporting Migration Profile " + mprf + " Started at " + date + three blanks + time.
std::string StartLine(std::string_view mprf, std::string_view date, std::string_view time);
// TAB + text + date + three blanks + time, CR LF.
std::string ProgressLine(std::string_view text, std::string_view date, std::string_view time);
// TAB + text, CR LF (progress without a time, warnings, notes).
std::string NoteLine(std::string_view text);
// TAB + text without a line end: the note of an empty qzmap120 selection,
// which the next progress line continues.
std::string UnendedNote(std::string_view text);
// The closing line of a successful export, without a line end.
std::string SuccessLine(std::string_view mprf, std::string_view date, std::string_view time);
// The three closing lines of a failed export, the last without a line end:
// the failure's number and its description as the component words it.
std::string FailureLines(const Error& e);

// The same three lines stamped with the present date and time of `env`.
std::string StartLineNow(Env& env, std::string_view mprf);
std::string ProgressLineNow(Env& env, std::string_view text);
std::string SuccessLineNow(Env& env, std::string_view mprf);

// ---- Reading ----

// The lines of a manifest, read one at a time.
class Lines {
 public:
  // Opens ExportMR.log in `folder` (its name matched without regard to case);
  // a missing file raises 53.
  static std::unique_ptr<Lines> Open(Env& env, const std::string& folder);
  // The next line; the end of the file raises 62 "Input past end of file"
  // naming the file and its last line, a byte-order mark before the first
  // line 9008.
  std::string Next();
  // The lines before the next line equal to `marker`, which is read too; the
  // end of the file before it raises 62.
  std::vector<std::string> Until(std::string_view marker);
  size_t line_number() const { return in_->line_number(); }
  void Close() { in_->Close(); }

 private:
  explicit Lines(std::unique_ptr<files::TextReader> in) : in_(std::move(in)) {}
  std::unique_ptr<files::TextReader> in_;
};

// Meanings of the option lines; nullopt for any other text.
std::optional<bool> RevisionsValue(std::string_view line);
std::optional<bool> SyncValue(std::string_view line);
struct NewProfile {
  bool is_new = false;
  int16_t number = 0;
};
// "ExportToNewProfile=0" is no new profile; a line whose first 18 characters
// are "ExportToNewProfile" names the number from character 20 on (13 "Type
// mismatch" when it is not a number, 6 "Overflow" outside 16 bits).
std::optional<NewProfile> NewProfileValue(std::string_view line);

}  // namespace manifest

// What the import takes from a manifest.
struct ManifestOptions {
  std::string applications;  // the application codes joined by the list separator
  bool revisions = false;
  bool new_profile = false;
  int16_t new_profile_number = 0;
  bool for_sync = false;
  std::vector<std::string> files;  // the file list as written: the files of the pack
};

// The lenient reading of the import: skips the status line, collects the file
// list and the applications and reads the three option lines. An option line
// of any other text leaves its values as they are in `options`, so the caller
// passes in its current values. Returns false when the manifest is missing or
// ends early, or a number does not convert; values read before stay set.
bool ReadLogicPackManifest(Env& env, const std::string& folder, ManifestOptions& options,
                           std::string_view list_separator = "|");

// The strict reading that comes before an import is offered: what the
// manifest says about its pack, or why the pack cannot be offered.
enum class ManifestFault {
  None,
  ExportFailed,  // the status line is "ERRORS" (in any case)
  Corrupt,       // a marker or option line out of place
  MissingFile,   // a listed file is not in the pack folder
};
struct DetailsManifest {
  ManifestFault fault = ManifestFault::None;
  std::string missing_file;        // MissingFile: the first listed file not found
  int16_t new_profile_number = 0;  // the number the pack announces, 0 for none
};
// Reads the manifest of `folder` up to its new-profile line, checking that
// every file of the list is in the folder. A status line that is neither
// "SUCCESS" nor "ERRORS" has no file list: "--APPLS--" must follow it. The end
// of the file before the new-profile line raises 62; a new-profile number
// that does not convert raises 13 or 6.
DetailsManifest CheckManifestForDetails(Env& env, const std::string& folder);

}  // namespace kestrel::pack
