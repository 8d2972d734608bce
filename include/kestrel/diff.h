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

// One column of a row that differs, with its value on side A and on side B.
// On an added row `a` is nullopt throughout, on a removed row `b`.
struct FieldChange {
  std::string column;
  Bytes a, b;
};

// One object that differs: added (only in B), removed (only in A) or changed
// (its key on both sides).
struct Change {
  enum class Kind { Added, Removed, Changed };
  Kind kind = Kind::Changed;
  Scope scope;
  std::string table;
  std::vector<std::pair<std::string, std::string>> key;  // key column and value, profile number left out
  // Every compared column of the row (the profile number and, unless
  // compared, the load date left out), in the table's order, with its value
  // on each side the row is on.
  std::vector<FieldChange> fields;
  // Whether the field is one that makes the difference: on a changed row one
  // whose values differ, on an added or removed row every field.
  bool Differs(const FieldChange& f) const { return kind != Kind::Changed || f.a != f.b; }
};

struct TableCounts {
  int64_t added = 0, removed = 0, changed = 0, same = 0;
  bool Differs() const { return added || removed || changed; }
};

struct Result {
  // The sides as compared: `-` is A's, `+` B's. For a pack beside a store
  // alone A is the store and B the pack, in whichever order they were named:
  // the difference is what importing the pack would change in the store.
  Side a, b;
  // Per scope, per table (tables that hold nothing on either side left out).
  std::map<Scope, std::map<std::string, TableCounts, std::less<>>> counts;
  std::vector<Change> changes;  // in scope, table and key order of reading
  // A pack against a store: what the import of the pack with its default
  // selection would replace in the store.
  std::optional<std::vector<int64_t>> profiles_replaced;
  std::optional<std::vector<std::string>> applications_replaced;
  bool Equal() const {
    for (const auto& [scope, tables] : counts)
      for (const auto& [table, c] : tables)
        if (c.Differs()) return false;
    return changes.empty();
  }
  bool ImportPreview() const { return profiles_replaced.has_value(); }
};

struct Options {
  // Compare the dates that only record when a rule or library row was loaded
  // into its store (ldat); left out by default, as every export and import
  // of the same rows may differ there.
  bool load_dates = false;
  // How long a store side waits for a lock another program holds on it
  // (store::Open).
  int lock_wait_seconds = store::kDefaultLockWaitSeconds;
  // Only these tables (names as Tables() lists them); empty: every table.
  // A name that is none is refused with Ours::DiffTableUnknown.
  std::vector<std::string> tables;
  // Count what differs, keeping no Change: the summary of a large profile
  // without every row of it held twice.
  bool counts_only = false;
  // A pack against a store: the numbers the import gives pack profiles
  // other than the default selection's (keyed by that number), so that
  // each is compared with the profile it would replace.
  std::map<int64_t, int64_t> renumber;
};

// Every table a difference is read from, the profile tables first, in pack order.
KESTREL_API std::vector<std::string> Tables();

// Compares side `a` with side `b`: "added" is what B holds and A does not.
// A store alone is allowed only when the other side is a pack: each profile
// of the pack is compared with the store's profile that an import with the
// default selection would replace (same number, or the pack's announced
// number), and each of its applications with the store's; the store is then
// side A of the result whichever argument named it.
KESTREL_API Result Compare(Env& env, const Side& a, const Side& b, const Options& options = {});

// The lines of a text, split at each CR LF (a text that ends with one ends
// with an empty line). Views into `text`.
KESTREL_API std::vector<std::string_view> SplitLines(std::string_view text);

// Whether a changed field is shown as hunks of lines: both sides set and
// either holding more than one line.
KESTREL_API bool ShownAsLines(const FieldChange& f);

// A run of changed lines with the unchanged lines around it, as a unified
// diff shows it: `lines` each start with ' ' (on both sides), '-' (A's only)
// or '+' (B's only), then the line. Starts count from 1; a side with no line
// in the hunk starts at the line before it (0 at the top).
struct Hunk {
  int64_t a_start = 0, a_count = 0, b_start = 0, b_count = 0;
  std::vector<std::string> lines;
};

// The hunks that turn the lines of `a` into those of `b`, each with up to
// `context` unchanged lines before and after its changes; hunks whose
// context would touch are one. Empty when the lines are the same.
KESTREL_API std::vector<Hunk> LineHunks(std::string_view a, std::string_view b, int context);

}  // namespace kestrel::diff
