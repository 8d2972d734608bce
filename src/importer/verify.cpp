// VerifyUserSelections and its checks: values the import cannot write,
// repeated target numbers, parents not lower than their child, heterogeneous
// derivation, and a second unrelated profile for an application pair the
// store already serves. Every check adds
// its message and goes on, so one call reports all problems found.
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
constexpr int32_t kIncomplete = 505;

void Fire(ErrorState& error, int32_t number, std::string& message, const std::string& text,
          SelectionFindings findings, size_t entry) {
  message += text;
  message += kMessageEnd;
  error.Set(number, message);
  if (findings) findings->emplace_back(number, text, EntryPlace(static_cast<int64_t>(entry)));
}

// The checks of VerifyUserSelections on lists read already; the store is asked.
bool VerifyLists(const ImportContext& cx, ErrorState& error, const SelectionLists& lists, SelectionLists& marked,
                 std::string& strErrorMessage, SelectionFindings findings) {
  bool passed = true;
  std::string buffer;
  const auto& sources = lists.sources;
  const auto& targets = lists.targets;
  if (sources.size() != targets.size()) {
    strErrorMessage = fmt::format(
        "The user selection is not complete.{} profiles are present in source, and {} profiles are present in "
        "target.{}",
        sources.size(), targets.size(), kMessageEnd);
    if (findings)
      findings->emplace_back(kIncomplete, strErrorMessage.substr(0, strErrorMessage.size() - kMessageEnd.size()),
                             EntryPlace(-1));
    passed = false;
  }
  // A value the import cannot write is the failure the error state reports,
  // whatever the checks against the store find after it.
  std::optional<ErrorState> refused_value;
  if (!CheckSelectionValues(error, lists, buffer, findings)) {
    strErrorMessage += buffer;
    refused_value = error;
    passed = false;
  }
  if (CheckTargetRepeats(error, targets, buffer, findings)) {
    strErrorMessage += buffer;
    strErrorMessage += kMessageEnd;
    passed = false;
  }
  if (!VerifySelection(cx, error, targets, buffer, findings)) {
    strErrorMessage += buffer;
    strErrorMessage += kMessageEnd;
    passed = false;
  }

  marked.sources = sources;
  marked.targets.clear();
  for (const SelectionEntry& entry : targets) {
    int32_t keep_own_number = 0;
    marked.targets.push_back(MarkSelectionEntry(cx, error, entry, keep_own_number));
  }
  if (refused_value) error = *refused_value;
  return passed;
}

// Runs a verification after its banner, `verify` adding to the message's
// text; an unexpected failure becomes the message and the error state, and
// is logged.
template <class Verify>
bool RunVerification(const ImportContext& cx, ErrorState& error, Error& message, Verify&& verify) {
  std::string text;
  try {
    // The checks ask the store, and each look-up traps its failure: without
    // a store they would pass a selection nothing was checked against.
    ConnectionOf(cx);
    Log(cx, LogKind::VerifyStarted);
    const bool passed = verify(text);
    message = Error(0, text);
    return passed;
  } catch (const std::exception& e) {
    const ComError c = AsComError(e);
    error.Set(Error(c.number(), TrapHead::Unexpected, "VerifyUserSelections", c));
    message = error.value();
    Log(cx, RunLogEvent{.kind = LogKind::Unexpected, .error = c});
    return false;
  }
}

}  // namespace

bool CheckTargetRepeats(ErrorState& error, const std::vector<SelectionEntry>& targets, std::string& message,
                        SelectionFindings findings) {
  std::vector<std::string> numbers;
  numbers.reserve(targets.size());
  for (const auto& entry : targets) numbers.push_back(entry.Field(0));
  for (size_t i = 0; i < numbers.size(); ++i)
    for (size_t j = 0; j < numbers.size(); ++j) {
      if (i == j || numbers[i] != numbers[j]) continue;
      message = fmt::format("Profile Number {} repeats in the target selection.", numbers[i]);
      error.Set(kRepeatedNumber, message);
      if (findings) findings->emplace_back(kRepeatedNumber, message, EntryPlace(static_cast<int64_t>(j)));
      return true;
    }
  return false;
}

bool VerifySelection(const ImportContext& cx, ErrorState& error, const std::vector<SelectionEntry>& table,
                     std::string& message, SelectionFindings findings) {
  message.clear();
  bool passed = true;
  // Every entry needs its six fields before any is checked.
  for (const auto& t : table) t.Field(5);

  for (size_t i = 0; i < table.size(); ++i) {
    const auto& t = table[i];
    if (NumericValue(t.parent) >= NumericValue(t.number)) {
      Fire(error, kParentNotLower, message,
           fmt::format("Profile Number ({}) should be greater than the derived from profile ({}) .", t.number,
                       t.parent),
           findings, i);
      passed = false;
    }
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
      if (!parent_in_list) parent_apps = GetProfileApplications(cx, error, parent);
    }

    if (!parent_apps.Source.empty() && !parent_apps.Target.empty()) {
      const std::string heterogeneous =
          fmt::format("Profile Number {} can not be parent profile for {} as it will create a hetrogenous derivation "
                      "structure.",
                      t.parent, t.number);
      int32_t e = GetApplicationExtn(cx, error, parent_apps.Source);
      if (e >= 0 && e != NumericValue(t.source_extn)) {
        Fire(error, kHeterogeneous, message, heterogeneous, findings, i);
        passed = false;
      } else {
        e = GetApplicationExtn(cx, error, parent_apps.Target);
        if (e >= 0 && e != NumericValue(t.target_extn)) {
          Fire(error, kHeterogeneous, message, heterogeneous, findings, i);
          passed = false;
        }
      }
    }

    std::string served = ProfilesWithApplications(cx, error, t.source_application, t.target_application);
    if (parent_in_list) served += ", " + t.parent;
    // Containment is a text test, as it always was: parent 1 counts as
    // contained in "12, 15".
    const bool parent_served = parent != 0 && served.find(t.parent) != std::string::npos;
    const bool self_served = served.find(t.number) != std::string::npos;
    if (!text::TrimBlanks(served).empty() && !parent_served && !self_served) {
      Fire(error, kUnrelatedProfile, message,
           fmt::format("Profiles {} already exists with the application combination {}, {}. You have to derive an "
                       "update profile for {} from existing profiles.",
                       served, t.source_application, t.target_application, t.number),
           findings, i);
      passed = false;
    }
  }

  Log(cx, RunLogEvent{.kind = LogKind::SelectionVerified, .text = message});
  return passed;
}

bool VerifyUserSelections(const ImportContext& cx, ErrorState& error, const SelectionLists& lists,
                          SelectionLists& marked, Error& message, SelectionFindings findings) {
  return RunVerification(cx, error, message,
                         [&](std::string& text) { return VerifyLists(cx, error, lists, marked, text, findings); });
}

bool VerifyUserSelections(const ImportContext& cx, ErrorState& error, const std::string& strInLPDetails,
                          std::string& strOutLPDetails, Error& message) {
  strOutLPDetails = strInLPDetails;
  return RunVerification(cx, error, message, [&](std::string& text) {
    SelectionLists marked;
    const bool passed = VerifyLists(cx, error, ParseSelection(strInLPDetails), marked, text, nullptr);
    strOutLPDetails = DetailsText(marked);
    return passed;
  });
}

}  // namespace kestrel::importer
