// What differs between two sets of migration profiles, each a logic pack or a
// profile of a store: profile by profile and object by object, rules,
// libraries, shared functions and codes, and application data, every object
// found by its key (never by its place in a file). The caller names the two
// sides; the store side is written into a temporary pack by the export and
// removed again, so both sides are read and compared the same way.
// Failures throw kestrel::ComError. Values are the packs' bytes, untouched.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestrel/export.h"
#include "kestrel/store.h"

namespace kestrel {
class Env;
}  // namespace kestrel

namespace kestrel::diff {

// One side as the command line names it: a pack folder, "STORE:PROFILE"
// (split at the last ":" that only digits follow), or a store alone.
struct Side {
  enum class Kind { Pack, StoreProfile, Store };
  Kind kind = Kind::Pack;
  std::string location;  // the pack folder or the store location
  int64_t profile = 0;   // StoreProfile: the profile number
};
// A folder that exists is a pack; otherwise "STORE:DIGITS" names a profile of
// a store and anything else is a store alone.
KESTREL_API Side ParseSide(Env& env, const std::string& text);

// What a table holds, for the summary: "profile" (header, hierarchy,
// development VRC), "rules", "libraries", "functions", "codes",
// "application data".
KESTREL_API std::string_view KindOfTable(std::string_view table);

// Where a difference lies: a profile (by its number on each side), an
// application, or what every profile shares (functions, codes).
struct Scope {
  enum class Kind { Profile, Application, Shared };
  Kind kind = Kind::Shared;
  std::optional<int64_t> a_profile, b_profile;  // Profile: absent on a side that lacks it
  std::string application;                      // Application: its code
  auto operator<=>(const Scope&) const = default;
};

using Bytes = std::optional<std::string>;  // nullopt: the field is not set

struct FieldChange {
  std::string column;
  Bytes a, b;
};

// One object that differs: added (only in B), removed (only in A) or changed
// (its key on both sides, `fields` the columns that differ).
struct Change {
  enum class Kind { Added, Removed, Changed };
  Kind kind = Kind::Changed;
  Scope scope;
  std::string table;
  std::vector<std::pair<std::string, std::string>> key;  // key column and value, profile number left out
  std::vector<FieldChange> fields;
};

struct TableCounts {
  int64_t added = 0, removed = 0, changed = 0, same = 0;
  bool Differs() const { return added || removed || changed; }
};

struct Result {
  // Per scope, per table (tables that hold nothing on either side left out).
  std::map<Scope, std::map<std::string, TableCounts, std::less<>>> counts;
  std::vector<Change> changes;  // in scope, table and key order of reading
  // A pack against a store: what the import of the pack with its default
  // selection would replace in the store.
  std::optional<std::vector<int64_t>> profiles_replaced;
  std::optional<std::vector<std::string>> applications_replaced;
  bool Equal() const { return changes.empty(); }
};

struct Options {
  // Compare the dates that only record when a rule or library row was loaded
  // into its store (ldat); left out by default, as every export and import
  // of the same rows may differ there.
  bool load_dates = false;
  // How long a store side waits for a lock another program holds on it
  // (store::Open).
  int lock_wait_seconds = store::kDefaultLockWaitSeconds;
};

// Compares side `a` with side `b`: "added" is what B holds and A does not.
// A store alone is allowed only when the other side is a pack: each profile
// of the pack is compared with the store's profile that an import with the
// default selection would replace (same number, or the pack's announced
// number), and each of its applications with the store's.
KESTREL_API Result Compare(Env& env, const Side& a, const Side& b, const Options& options = {});

}  // namespace kestrel::diff
