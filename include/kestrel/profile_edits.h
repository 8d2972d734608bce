// Edits of one stored profile, each in one transaction that holds the
// store's write lock: deleting a profile, and giving it another number with
// every reference to it. Either is whole or not at all.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "kestrel/export.h"
#include "kestrel/store.h"

namespace kestrel::store {

struct ProfileEditOptions {
  // The longest wait for the store's write lock, which another program may
  // hold; then Ours::StoreLocked.
  int lock_wait_seconds = kDefaultLockWaitSeconds;
  // Told once when that wait begins.
  std::function<void()> waiting;
  // Called inside the edit's transaction after its checks and before its
  // first change, with the profile as it is stored: what it writes (a record
  // that would undo the edit) commits or rolls back with the edit.
  std::function<void(Connection& c, int64_t profile)> before_change;
};

// Rows deleted or renumbered, per table.
using ProfileEditCounts = std::map<std::string, int64_t, std::less<>>;

// Fails with Ours::ProfileNotStored, naming the profile and the store, when
// the store holds no profile `profile`.
KESTREL_API void RequireStoredProfile(Connection& c, int64_t profile);

// Deletes profile `profile` from its seventeen tables. Fails with
// Ours::ProfileNotStored when the store has no such profile, and with
// Ours::ProfileHasDescendants, naming them, when other profiles derive from
// it (their chains would name a profile that is gone). Its applications stay.
KESTREL_API ProfileEditCounts DeleteStoredProfile(Connection& c, int64_t profile,
                                                  const ProfileEditOptions& options = {});

// Gives profile `from` the number `to` in its seventeen tables and in every
// chain row that names it (its descendants' too). Fails with
// Ours::ProfileNotStored when `from` is not stored, Ours::ProfileNumberTaken
// when `to` is, and Ours::ProfileNumberOutOfOrder when `to` would not be above
// its parent's number and below each of its children's, as every import keeps
// them.
KESTREL_API ProfileEditCounts RenumberStoredProfile(Connection& c, int64_t from, int64_t to,
                                                    const ProfileEditOptions& options = {});

}  // namespace kestrel::store
