// Deleting and renumbering a stored profile, each as one write unit.
#include "kestrel/profile_edits.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "base/errors_ours.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/statements_import_hierarchy.h"
#include "store/statements_import_transaction.h"
#include "store/statements_profile_edits.h"
#include "store/statements_profiles.h"
#include "store/write_unit.h"

namespace kestrel::store {
namespace {

std::vector<int64_t> Numbers(Connection& c, const std::string& select) {
  std::vector<int64_t> out;
  for (auto rs = c.OpenRecordset(select); !rs->IsEOF(); rs->MoveNext()) out.push_back(rs->Fields(0).Integer());
  return out;
}

// Runs `edit` as one write unit: checks, the hook, the changes; committed
// when it returns, rolled back when it throws.
ProfileEditCounts InOneUnit(Connection& c, const ProfileEditOptions& o, int64_t profile,
                            const std::function<void()>& check, const std::function<void(ProfileEditCounts&)>& edit) {
  WriteLockOptions lock;
  lock.wait = std::chrono::seconds(std::max(o.lock_wait_seconds, 0));
  lock.waiting = o.waiting;
  WriteUnit unit(c);
  if (!unit.Begin(lock))
    RaiseWithDetail(Ours::StoreLocked, fmt::format("{} (waited {} s)", MaskedLocation(c.location()),
                                                   std::max(o.lock_wait_seconds, 0)));
  RequireStoredProfile(c, profile);
  check();
  if (o.before_change) o.before_change(c, profile);
  ProfileEditCounts counts;
  edit(counts);
  unit.Commit();
  return counts;
}

}  // namespace

void RequireStoredProfile(Connection& c, int64_t profile) {
  if (c.OpenRecordset(SelectProfile(c.dialect(), profile))->IsEOF())
    RaiseWithDetail(Ours::ProfileNotStored, fmt::format("profile {} in {}", profile, MaskedLocation(c.location())));
}

ProfileEditCounts DeleteStoredProfile(Connection& c, int64_t profile, const ProfileEditOptions& options) {
  const Dialect d = c.dialect();
  return InOneUnit(
      c, options, profile,
      [&] {
        std::vector<int64_t> below;
        for (int64_t n : Numbers(c, SelectDerivedProfiles(d, profile)))
          if (n != profile && std::find(below.begin(), below.end(), n) == below.end()) below.push_back(n);
        std::sort(below.begin(), below.end());
        if (!below.empty())
          RaiseWithDetail(Ours::ProfileHasDescendants,
                          fmt::format("profile {}: {}", profile, fmt::join(below, ", ")));
      },
      [&](ProfileEditCounts& counts) {
        for (std::string_view table : ProfileTables())
          if (const int64_t n = c.Execute(DeleteProfileRows(d, table, profile))) counts[std::string(table)] = n;
      });
}

ProfileEditCounts RenumberStoredProfile(Connection& c, int64_t from, int64_t to, const ProfileEditOptions& options) {
  const Dialect d = c.dialect();
  return InOneUnit(
      c, options, from,
      [&] {
        if (to == from || !c.OpenRecordset(SelectProfile(d, to))->IsEOF())
          RaiseWithDetail(Ours::ProfileNumberTaken, fmt::format("profile {} in {}", to, MaskedLocation(c.location())));
        std::optional<int64_t> parent;
        if (auto rs = c.OpenRecordset(SelectParentLevelRow(d, from)); !rs->IsEOF())
          parent = rs->Fields("pprf").Integer();
        const std::vector<int64_t> children = Numbers(c, SelectChildProfiles(d, from));
        if ((parent && to <= *parent) || (!children.empty() && to >= children.front()))
          RaiseWithDetail(Ours::ProfileNumberOutOfOrder,
                          fmt::format("{} for profile {}, whose parent is {} and children {}", to, from,
                                      parent ? std::to_string(*parent) : "none",
                                      children.empty() ? "none" : fmt::format("{}", fmt::join(children, ", "))));
      },
      [&](ProfileEditCounts& counts) {
        for (std::string_view table : ProfileTables())
          if (const int64_t n = c.Execute(RenumberProfileRows(d, table, from, to))) counts[std::string(table)] = n;
        // The chain rows of its descendants name it at a level of their own.
        if (const int64_t n = c.Execute(RenumberChainLevels(d, from, to))) counts["qzmap101"] += n;
      });
}

}  // namespace kestrel::store
