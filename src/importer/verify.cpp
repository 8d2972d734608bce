// VerifyUserSelections and its checks: values the import cannot write,
// repeated target numbers, parents not lower than their child, heterogeneous
// derivation, and a second unrelated profile for an application pair the
// store already serves. Every check adds
// its message and goes on, so one call reports all problems found.
#include <optional>
#include <string>
#include <vector>

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
constexpr int32_t kIncomplete = 505;

// The checks of VerifyUserSelections on lists read already; the store is asked.
void VerifyLists(const ImportContext& cx, const SelectionLists& lists, Verification& v, std::string& strErrorMessage) {
  v.passed = true;
  const auto& sources = lists.sources;
  const auto& targets = lists.targets;
  if (sources.size() != targets.size()) {
    strErrorMessage = fmt::format(
        "The user selection is not complete.{} profiles are present in source, and {} profiles are present in "
        "target.{}",
        sources.size(), targets.size(), kMessageEnd);
    v.findings.emplace_back(kIncomplete, strErrorMessage.substr(0, strErrorMessage.size() - kMessageEnd.size()),
                            EntryPlace(-1));
    v.passed = false;
  }
  // A value the import cannot write is the failure reported, whatever the
  // checks against the store find after it.
  const std::vector<Error> values = CheckSelectionValues(lists);
  if (!values.empty()) {
    strErrorMessage += MessageOf(values);
    v.findings.insert(v.findings.end(), values.begin(), values.end());
    v.passed = false;
  }
  if (const std::optional<Error> repeat = CheckTargetRepeats(targets)) {
    strErrorMessage += repeat->text();
    strErrorMessage += kMessageEnd;
    v.reported = Error(repeat->number(), repeat->text());
    v.findings.push_back(*repeat);
    v.passed = false;
  }
  if (const std::vector<Error> found = VerifySelection(cx, targets); !found.empty()) {
    const std::string message = MessageOf(found);
    strErrorMessage += message;
    strErrorMessage += kMessageEnd;
    v.reported = Error(found.back().number(), message);
    v.findings.insert(v.findings.end(), found.begin(), found.end());
    v.passed = false;
  }

  v.marked.sources = sources;
  v.marked.targets.clear();
  for (const SelectionEntry& entry : targets) {
    int32_t keep_own_number = 0;
    v.marked.targets.push_back(MarkSelectionEntry(cx, entry, keep_own_number));
  }
  if (!values.empty()) v.reported = Error(values.back().number(), values.back().text());
}

// Runs a verification after its banner, `verify` adding to the message's
// text; an unexpected failure becomes the message and what is reported, and
// is logged.
template <class Verify>
Verification RunVerification(const ImportContext& cx, Verify&& verify) {
  Verification v;
  std::string text;
  try {
    // Without a store the checks would pass a selection nothing was checked
    // against.
    ConnectionOf(cx);
    Log(cx, LogKind::VerifyStarted);
    verify(v, text);
    v.message = Error(0, text);
  } catch (const std::exception& e) {
    const ComError c = AsComError(e);
    v.passed = false;
    v.reported = Error(c.number(), TrapHead::Unexpected, "VerifyUserSelections", c);
    v.message = *v.reported;
    Log(cx, RunLogEvent{.kind = LogKind::Unexpected, .error = c});
  }
  return v;
}

}  // namespace

std::optional<Error> CheckTargetRepeats(const std::vector<SelectionEntry>& targets) {
  std::vector<std::string> numbers;
  numbers.reserve(targets.size());
  for (const auto& entry : targets) numbers.push_back(entry.Field(0));
  for (size_t i = 0; i < numbers.size(); ++i)
    for (size_t j = 0; j < numbers.size(); ++j) {
      if (i == j || numbers[i] != numbers[j]) continue;
      return Error(kRepeatedNumber, fmt::format("Profile Number {} repeats in the target selection.", numbers[i]),
                   EntryPlace(static_cast<int64_t>(j)));
    }
  return std::nullopt;
}

std::vector<Error> VerifySelection(const ImportContext& cx, const std::vector<SelectionEntry>& table) {
  std::vector<Error> found;
  const auto fire = [&found](int32_t number, std::string text, size_t entry) {
    found.emplace_back(number, std::move(text), EntryPlace(static_cast<int64_t>(entry)));
  };
  // Every entry needs its six fields before any is checked.
  for (const auto& t : table) t.Field(5);

  for (size_t i = 0; i < table.size(); ++i) {
    const auto& t = table[i];
    if (NumericValue(t.parent) >= NumericValue(t.number))
      fire(kParentNotLower,
           fmt::format("Profile Number ({}) should be greater than the derived from profile ({}) .", t.number,
                       t.parent),
           i);
  }

  for (size_t i = 0; i < table.size(); ++i) {
    const auto& t = table[i];
    const int64_t parent = NumericValue(t.parent);
    bool parent_in_list = false;
    ProfileApplications parent_apps;
    if (parent > 0) {
      // Only entries up to this one count: a parent listed after its child is
      // not imported before it, so the store's answer is the one that holds.
      for (size_t j = 0; j <= i; ++j)
        if (table[j].number == t.parent) {
          parent_apps = {table[j].source_application, table[j].target_application};
          parent_in_list = true;
          break;
        }
      if (!parent_in_list) parent_apps = GetProfileApplications(cx, parent);
    }

    if (!parent_apps.Source.empty() && !parent_apps.Target.empty()) {
      const std::string heterogeneous =
          fmt::format("Profile Number {} can not be parent profile for {} as it will create a hetrogenous derivation "
                      "structure.",
                      t.parent, t.number);
      int32_t e = GetApplicationExtn(cx, parent_apps.Source);
      if (e >= 0 && e != NumericValue(t.source_extn)) {
        fire(kHeterogeneous, heterogeneous, i);
      } else {
        e = GetApplicationExtn(cx, parent_apps.Target);
        if (e >= 0 && e != NumericValue(t.target_extn)) fire(kHeterogeneous, heterogeneous, i);
      }
    }

    std::string served = ProfilesWithApplications(cx, t.source_application, t.target_application);
    if (parent_in_list) served += ", " + t.parent;
    // Containment is a text test, as it always was: parent 1 counts as
    // contained in "12, 15".
    const bool parent_served = parent != 0 && served.find(t.parent) != std::string::npos;
    const bool self_served = served.find(t.number) != std::string::npos;
    if (!text::TrimBlanks(served).empty() && !parent_served && !self_served)
      fire(kUnrelatedProfile,
           fmt::format("Profiles {} already exists with the application combination {}, {}. You have to derive an "
                       "update profile for {} from existing profiles.",
                       served, t.source_application, t.target_application, t.number),
           i);
  }

  Log(cx, RunLogEvent{.kind = LogKind::SelectionVerified, .text = MessageOf(found)});
  return found;
}

Verification VerifyUserSelections(const ImportContext& cx, const SelectionLists& lists) {
  return RunVerification(cx, [&](Verification& v, std::string& text) { VerifyLists(cx, lists, v, text); });
}

Verification VerifyUserSelections(const ImportContext& cx, const std::string& strInLPDetails,
                                  std::string& strOutLPDetails) {
  strOutLPDetails = strInLPDetails;
  return RunVerification(cx, [&](Verification& v, std::string& text) {
    VerifyLists(cx, ParseSelection(strInLPDetails), v, text);
    strOutLPDetails = DetailsText(v.marked);
  });
}

}  // namespace kestrel::importer
