// Pack folder comparison for the round-trip tests.
#include "support/pack_compare.h"

#include <algorithm>
#include <regex>
#include <vector>

#include "base/errors_ours.h"
#include "base/files.h"
#include "base/text.h"
#include "pack/naming.h"
#include "pack/sums.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

// The line's number and text as a message shows it, or "(no line)" past the end.
std::string Show(const std::vector<std::string>& lines, size_t at) {
  if (at >= lines.size()) return "    (no line)\n";
  return "    " + std::to_string(at + 1) + ": " + kestrel::QuoteForMessage(lines[at], 200) + "\n";
}

// The manifest text with every date and time replaced by "<date>" and "<time>".
std::string MaskManifestTimes(std::string_view text) {
  static const std::regex date(R"(\b\d{1,4}[-/.]\d{1,2}[-/.]\d{1,4}\b)");
  static const std::regex time(R"(\b\d{1,2}:\d{2}(:\d{2})?( ?[AP]M)?)");
  std::string out = std::regex_replace(std::string(text), date, "<date>");
  return std::regex_replace(out, time, "<time>");
}

std::string CompareFile(const std::string& name, std::string expected, std::string actual) {
  if (text::EqualNoCase(name, pack::kManifestFile)) {
    expected = MaskManifestTimes(expected);
    actual = MaskManifestTimes(actual);
  }
  if (expected == actual) return "";
  const auto e = CrLfLines(expected), a = CrLfLines(actual);
  size_t at = 0;
  while (at < e.size() && at < a.size() && e[at] == a[at]) ++at;
  std::string out = name + " differs at line " + std::to_string(at + 1);
  if (at == e.size() && at == a.size()) out += " (line ends differ)";
  out += "\n  expected:\n" + Show(e, at) + "  actual:\n" + Show(a, at);
  return out;
}

}  // namespace

std::string ComparePacks(const std::string& expected_folder, const std::string& actual_folder) {
  // The sums list carries the hash of the manifest, whose times differ from
  // run to run; the files it lists are compared themselves.
  auto pack_files = [](const std::string& folder) {
    auto names = files::ListFiles(Env::Default(), folder);
    std::erase_if(names, [](const std::string& n) { return text::EqualNoCase(n, pack::kSumsFile); });
    return names;
  };
  auto expected_names = pack_files(expected_folder);
  auto actual_names = pack_files(actual_folder);
  auto by_lower = [](const std::string& x, const std::string& y) {
    return text::LowerAscii(x) < text::LowerAscii(y);
  };
  std::sort(expected_names.begin(), expected_names.end(), by_lower);
  std::sort(actual_names.begin(), actual_names.end(), by_lower);
  std::string out;
  for (const auto& name : expected_names) {
    auto match = std::find_if(actual_names.begin(), actual_names.end(),
                              [&](const std::string& n) { return text::EqualNoCase(n, name); });
    if (match == actual_names.end()) {
      out += "missing from " + actual_folder + ": " + name + "\n";
      continue;
    }
    std::string actual_name = *match;
    actual_names.erase(match);
    if (!out.empty()) continue;  // the first difference is enough
    out += CompareFile(name, files::ReadWholeFile(Env::Default(), files::Join(expected_folder, name)),
                       files::ReadWholeFile(Env::Default(), files::Join(actual_folder, actual_name)));
  }
  for (const auto& name : actual_names) out += "not expected in " + actual_folder + ": " + name + "\n";
  return out;
}

}  // namespace kestrel::testing
