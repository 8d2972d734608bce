// How the command line and the web wizard present what inspect.h reads: a
// store's profiles as JSON (a list, or the derivation tree with each
// profile's children nested in it) and a pack's contents as JSON, with the
// helpers the text forms share. One shape for every host that shows them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "output.h"
#include "kestrel/inspect.h"

namespace kestrel::cli {

using kestrel::inspect::PackContents;
using kestrel::inspect::StoredProfile;

// The rows of all the profile's rule tables.
int64_t RuleRows(const StoredProfile& p);

// The hierarchy: each profile's children by number; a profile whose parent
// the store does not hold is a root. Pointers into `profiles`, which must
// outlive it.
struct Hierarchy {
  std::vector<const StoredProfile*> roots;
  std::map<int64_t, std::vector<const StoredProfile*>> children;
};
Hierarchy HierarchyOf(const std::vector<StoredProfile>& profiles);

// The profiles as a JSON array: one object per profile, or with `tree` the
// roots, each with "children" nested (a loop of parents in a damaged store
// is not followed twice).
Json ProfilesJson(const std::vector<StoredProfile>& profiles, bool tree);

// Whether every file the pack's sums list is there and matches.
bool SumsHold(const PackContents& p);

// What `kestrel ls --json` prints for the pack folder `folder`.
Json PackJson(const std::string& folder, const PackContents& p);

}  // namespace kestrel::cli
