// The logic pack details string that clsImport hands out and takes back, as
// a host reads and edits it: the pack's source list and the proposed target
// list (entries of six fields joined by "|", separated by character 1, the
// two lists by a carriage return), the markers "*" the import puts on what
// the store already holds, and the messages of a verification.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "kestrel/engine.h"
#include "kestrel/export.h"

namespace kestrel {

// One entry's six fields; missing fields are empty.
using EntryFields = std::array<std::string, 6>;

struct DetailsView {
  std::vector<EntryFields> sources;
  std::vector<EntryFields> targets;
};

// The two lists of a details string; a missing second line gives no targets.
KESTREL_API DetailsView ParseDetails(const std::string& details);

// The target list with the markers of the first four fields removed: what
// `verify` and `import` take when no --target is given ("0*" is "0").
KESTREL_API std::vector<std::string> UnmarkedTargets(const std::string& details);
// One entry ("|"-joined fields) without the markers of its first four fields.
KESTREL_API std::string UnmarkedEntry(const std::string& entry);

// The details to verify or import: the proposal's source list, CR, and the
// given target entries, or the proposal's own targets unmarked when none
// are given.
KESTREL_API std::string DetailsWithTargets(const std::string& proposal, const std::vector<std::string>& targets);

// What the marked target list says the store holds already and an import
// would replace: "profile N" for every marked number, then "application X"
// for every marked application, each named once, in list order.
KESTREL_API std::vector<std::string> MarkedForReplacement(const std::string& checked_details);

// Why a --target ENTRY cannot be used ("" when it can): it must be six
// fields joined by "|" and hold no "*" (markers are output, never input).
KESTREL_API std::string TargetEntryProblem(const std::string& entry);

// The messages of a verification, split at "<BR>", empty ones left out.
KESTREL_API std::vector<std::string> SplitMessages(const std::string& messages);

// The details string of a pack's profiles and the targets chosen for them,
// as ShowLogicPackDetails and VerifyUserSelections hand it out: each target's
// fields marked where its `stored` says the store holds them (its parent
// where the store lacks it).
KESTREL_API std::string DetailsOf(const std::vector<PackProfile>& sources, const std::vector<Target>& targets);
// The target list of a details string as targets, its markers read into
// their `stored` (a number field that is not one reads 0).
KESTREL_API std::vector<Target> TargetsOf(const std::string& details);

}  // namespace kestrel
