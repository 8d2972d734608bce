// How `show` and `verify` present a logic pack details string: a readable
// table (one profile per row, markers visible and explained), JSON for host
// programs, and the target entries a user may give on the command line.
#pragma once

#include <array>
#include <ostream>
#include <string>
#include <vector>

namespace kestrel::cli {

// One entry's six fields; missing fields are empty.
using EntryFields = std::array<std::string, 6>;

struct DetailsView {
  std::vector<EntryFields> sources;
  std::vector<EntryFields> targets;
};

// The two lists of a details string; a missing second line gives no targets.
DetailsView ParseDetails(const std::string& details);

// The target list with the markers of the first four fields removed: what
// `verify` and `import` take when no --target is given ("0*" is "0").
std::vector<std::string> UnmarkedTargets(const std::string& details);

// The details to verify or import: the proposal's source list, CR, and the
// given target entries, or the proposal's own targets unmarked when none
// are given.
std::string DetailsWithTargets(const std::string& proposal, const std::vector<std::string>& targets);

// What the marked target list says the store holds already and an import
// would replace: "profile N" for every marked number, then "application X"
// for every marked application, each named once, in list order.
std::vector<std::string> MarkedForReplacement(const std::string& checked_details);

// Why a --target ENTRY cannot be used ("" when it can): it must be six
// fields joined by "|" and hold no "*" (markers are output, never input).
std::string TargetEntryProblem(const std::string& entry);

// The messages of a verification, split at "<BR>", empty ones left out.
std::vector<std::string> SplitMessages(const std::string& messages);

void PrintDetailsTable(std::ostream& out, const DetailsView& view);

// {"details": ..., "source": [...], "target": [...]} and, when `verified`,
// "passed" and "messages". Texts are bytes: every byte outside printable
// ASCII is written as \u00XX of its value.
void PrintDetailsJson(std::ostream& out, const std::string& details, const DetailsView& view, bool verified,
                      bool passed, const std::vector<std::string>& messages);

std::string JsonString(const std::string& bytes);

}  // namespace kestrel::cli
