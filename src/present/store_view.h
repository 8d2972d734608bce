// How a store's profiles and a pack's contents are shown: the profiles as a
// list or as the derivation tree (each profile's children nested in it), a
// pack's manifest, profiles and files with their sums. One shape for every
// face that shows them (`list --json`, `ls --json`, the web wizard).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "kestrel/inspect.h"
#include "present/json.h"

namespace kestrel::present {

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

// What the pack folder `folder` holds, as `kestrel ls --json` prints it.
Json PackJson(const std::string& folder, const PackContents& p);

}  // namespace kestrel::present
