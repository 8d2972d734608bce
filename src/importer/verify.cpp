// VerifyUserSelections and its checks: values the import cannot write,
// repeated target numbers, parents not lower than their child, heterogeneous
// derivation, and a second unrelated profile for an application pair the
// store already serves. Every check adds
// its message and goes on, so one call reports all problems found.
#include <array>
#include <optional>

#include <fmt/format.h>

#include "base/error.h"
#include "base/text.h"
#include "importer/entry_points.h"
#include "importer/lookups.h"
#include "importer/run_log.h"
#include "importer/selection.h"

namespace kestrel::importer {

namespace {

constexpr int32_t kRepeatedNumber = 501;
constexpr int32_t kParentNotLower = 502;
constexpr int32_t kHeterogeneous = 503;
constexpr int32_t kUnrelatedProfile = 504;

// One target entry's six fields; fewer raise 9.
struct TargetFields {
  std::array<std::string, 6> f;
  const std::string& Number() const { return f[0]; }
  const std::string& Source() const { return f[1]; }
  const std::string& Target() const { return f[2]; }
  const std::string& Parent() const { return f[3]; }
};

TargetFields SixFields(const std::string& entry) {
  auto pieces = SplitEntry(entry);
  TargetFields t;
  for (size_t k = 0; k < t.f.size(); ++k) t.f[k] = Piece(pieces, k);
  return t;
}

void Fire(ErrorState& error, int32_t number, std::string& message, const std::string& text) {
  message += text;
  message += kMessageEnd;
  error.Set(number, message);
}

}  // namespace

bool CheckTargetRepeats(ErrorState& error, const std::vector<std::string>& targets, std::string& message) {
  std::vector<std::string> numbers;
  numbers.reserve(targets.size());
  for (const auto& entry : targets) numbers.push_back(Piece(SplitEntry(entry), 0));
  for (size_t i = 0; i < numbers.size(); ++i)
    for (size_t j = 0; j < numbers.size(); ++j) {
      if (i == j || numbers[i] != numbers[j]) continue;
      message = fmt::format("Profile Number {} repeats in the target selection.", numbers[i]);
      error.Set(kRepeatedNumber, message);
      return true;
    }
  return false;
}

bool VerifySelection(const ImportContext& cx, ErrorState& error, const std::vector<std::string>& /*sources*/,
                     const std::vector<std::string>& targets, std::string& message) {
  message.clear();
  bool passed = true;
  std::vector<TargetFields> table;
  table.reserve(targets.size());
  for (const auto& entry : targets) table.push_back(SixFields(entry));

  for (const auto& t : table)
    if (NumericValue(t.Parent()) >= NumericValue(t.Number())) {
      Fire(error, kParentNotLower, message,
           fmt::format("Profile Number ({}) should be greater than the derived from profile ({}) .", t.Number(),
                       t.Parent()));
      passed = false;
    }

  for (size_t i = 0; i < table.size(); ++i) {
    const auto& t = table[i];
    const int64_t parent = NumericValue(t.Parent());
    bool parent_in_list = false;
    ProfileApplications parent_apps;
    if (parent > 0) {
      // Only entries up to this one count: a parent listed after its child is
      // not imported before it, so the store's answer is the one that holds.
      for (size_t j = 0; j <= i; ++j)
        if (table[j].Number() == t.Parent()) {
          parent_apps = {table[j].Source(), table[j].Target()};
          parent_in_list = true;
          break;
        }
      if (!parent_in_list) parent_apps = GetProfileApplications(cx, error, parent);
    }

    if (!parent_apps.Source.empty() && !parent_apps.Target.empty()) {
      const std::string heterogeneous =
          fmt::format("Profile Number {} can not be parent profile for {} as it will create a hetrogenous derivation "
                      "structure.",
                      t.Parent(), t.Number());
      int32_t e = GetApplicationExtn(cx, error, parent_apps.Source);
      if (e >= 0 && e != NumericValue(t.f[4])) {
        Fire(error, kHeterogeneous, message, heterogeneous);
        passed = false;
      } else {
        e = GetApplicationExtn(cx, error, parent_apps.Target);
        if (e >= 0 && e != NumericValue(t.f[5])) {
          Fire(error, kHeterogeneous, message, heterogeneous);
          passed = false;
        }
      }
    }

    std::string served = ProfilesWithApplications(cx, error, t.Source(), t.Target());
    if (parent_in_list) served += ", " + t.Parent();
    // Containment is a text test, as it always was: parent 1 counts as
    // contained in "12, 15".
    const bool parent_served = parent != 0 && served.find(t.Parent()) != std::string::npos;
    const bool self_served = served.find(t.Number()) != std::string::npos;
    if (!text::TrimBlanks(served).empty() && !parent_served && !self_served) {
      Fire(error, kUnrelatedProfile, message,
           fmt::format("Profiles {} already exists with the application combination {}, {}. You have to derive an "
                       "update profile for {} from existing profiles.",
                       served, t.Source(), t.Target(), t.Number()));
      passed = false;
    }
  }

  WriteImportLog(cx, message);
  return passed;
}

bool VerifyUserSelections(const ImportContext& cx, ErrorState& error, const std::string& strInLPDetails,
                          std::string& strOutLPDetails, std::string& strErrorMessage) {
  strOutLPDetails = strInLPDetails;
  strErrorMessage.clear();
  try {
    // The checks below ask the store, and each look-up traps its failure:
    // without a store they would pass a selection nothing was checked against.
    ConnectionOf(cx);
    bool passed = true;
    std::string buffer;
    WriteImportLog(cx, kVerifyUserSelectionBanner);
    DetailsLines lines = SplitDetails(strInLPDetails);
    auto sources = SplitList(lines.Contents, std::string_view(&kEntrySeparator, 1));
    auto targets = SplitList(lines.Preference, std::string_view(&kEntrySeparator, 1));

    if (sources.size() != targets.size()) {
      strErrorMessage = fmt::format(
          "The user selection is not complete.{} profiles are present in source, and {} profiles are present in "
          "target.{}",
          sources.size(), targets.size(), kMessageEnd);
      passed = false;
    }
    // A value the import cannot write is the failure the error state reports,
    // whatever the checks against the store find after it.
    std::optional<ErrorState> refused_value;
    if (!CheckSelectionValues(error, sources, targets, buffer)) {
      strErrorMessage += buffer;
      refused_value = error;
      passed = false;
    }
    if (CheckTargetRepeats(error, targets, buffer)) {
      strErrorMessage += buffer;
      strErrorMessage += kMessageEnd;
      passed = false;
    }
    if (!VerifySelection(cx, error, sources, targets, buffer)) {
      strErrorMessage += buffer;
      strErrorMessage += kMessageEnd;
      passed = false;
    }

    std::string out = lines.Contents;
    out += kDetailsLineEnd;
    for (size_t i = 0; i < targets.size(); ++i) {
      int32_t keep_own_number = 0;
      std::string marked;
      MarkSelectionEntry(cx, error, targets[i], keep_own_number, marked);
      if (i) out += kEntrySeparator;
      out += marked;
    }
    strOutLPDetails = std::move(out);
    if (refused_value) error = *refused_value;
    return passed;
  } catch (const std::exception& e) {
    const ComError c = AsComError(e);
    strErrorMessage = UnexpectedErrorReport(c);
    error.Set(c.number(), strErrorMessage);
    WriteImportLog(cx, strErrorMessage);
    return false;
  }
}

}  // namespace kestrel::importer
