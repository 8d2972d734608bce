// kestrel delete and renumber: one stored profile deleted, or given another
// number with every reference to it, each in one transaction. A delete asks
// first on a terminal and is refused elsewhere without --yes.
#include <iostream>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "command.h"
#include "lock_wait.h"
#include "output.h"
#include "present/store_view.h"
#include "shared_options.h"
#include "kestrel/engine.h"
#include "kestrel/profile_edits.h"
#include "kestrel/store.h"

namespace kestrel::cli {
namespace {

using kestrel::store::ProfileEditCounts;

kestrel::store::ProfileEditOptions EditOptions() {
  kestrel::store::ProfileEditOptions o;
  o.lock_wait_seconds = LockWaitSeconds();
  o.waiting = [] { Notice(fmt::format("Waiting up to {} s for the store's write lock ...", LockWaitSeconds())); };
  return o;
}

void Report(const ProfileEditCounts& counts, const std::string& what, bool json, Json j) {
  int64_t total = 0;
  Json tables = Json::object();
  for (const auto& [table, n] : counts) total += n, tables[table] = n;
  if (json) {
    j["tables"] = std::move(tables);
    j["rows"] = total;
    PrintJson(std::cout, j);
    return;
  }
  std::cout << what << " (" << total << " rows)\n";
}

struct DeleteOptions {
  std::string store;
  std::optional<int> profile;
  bool yes = false;
  bool json = false;
};

void DeclareDeleteOptions(CLI::App& sub, DeleteOptions& o) {
  AddStoreOption(sub, o.store, "the store to delete the profile from");
  AddProfileNumberOption(sub, "--profile", o.profile, "the profile to delete");
  sub.get_option("--profile")->required();
  sub.add_flag("-y,--yes", o.yes, "delete without asking (needed where no terminal can ask)");
  AddJsonFlag(sub, o.json,
              "print what was deleted as JSON: {\"store\", \"profile\", \"run\", \"tables\": {TABLE: ROWS}, \"rows\"}");
  sub.footer(
      "Deletes the profile's rows from its seventeen tables in one transaction, recorded as a run with a copy of the "
      "profile that `kestrel undo RUN` puts back; its applications stay. A profile "
      "others derive from is refused (9183), naming them. Without --yes the command asks on the terminal, and "
      "refuses (9186) when stdin is not one.");
}

int RunDelete(const DeleteOptions& o) {
  kestrel::Store store = OpenStore(o.store);
  const int64_t number = *o.profile;
  RequireConsent(o.yes, [&] {
    std::string about;
    for (const auto& p : store.Profiles())
      if (p.number == number)
        about = fmt::format(" ({}/{}/{}, \"{}\", {} rule rows)", ForStdout(p.version), ForStdout(p.release),
                            ForStdout(p.customer), ForStdout(p.description), kestrel::present::RuleRows(p));
    return fmt::format("Delete profile {}{} from {}?", number, about, store.ShownLocation());
  });
  kestrel::store::ProfileEditOptions options = EditOptions();
  // The run and the deleted profile's undo copy commit with the delete.
  int64_t run = 0;
  options.before_change = [&](kestrel::store::Connection&, int64_t profile) {
    run = kestrel::RecordRun(store, {.pack = fmt::format("delete profile {}", profile), .replaced = {profile}},
                             CommandContext());
  };
  const ProfileEditCounts counts = kestrel::store::DeleteStoredProfile(*store.Connection(), number, options);
  Report(counts, fmt::format("deleted profile {} from {}", number, store.ShownLocation()), o.json,
         Json{{"store", JsonText(store.ShownLocation())}, {"profile", number}, {"run", run}});
  if (!o.json) std::cout << fmt::format("recorded as run {} (`kestrel undo {}` undoes it)\n", run, run);
  return 0;
}

struct RenumberOptions {
  std::string store;
  int from = 0, to = 0;
  bool json = false;
};

void DeclareRenumberOptions(CLI::App& sub, RenumberOptions& o) {
  AddStoreOption(sub, o.store, "the store that holds the profile");
  sub.add_option("N", o.from, "the profile's number")->required()->check(ProfileNumberCheck(1));
  sub.add_option("M", o.to, "its new number, free in the store")->required()->check(ProfileNumberCheck(1));
  AddJsonFlag(sub, o.json,
              "print what was renumbered as JSON: {\"store\", \"from\", \"to\", \"tables\": {TABLE: ROWS}, \"rows\"}");
  sub.footer(
      "Gives profile N the number M in its seventeen tables and in the chains of the profiles derived from it, in "
      "one transaction. M must be free (9184), above the number of N's parent and below those of its children "
      "(9185), as every import keeps them.");
}

int RunRenumber(const RenumberOptions& o) {
  kestrel::Store store = OpenStore(o.store);
  kestrel::store::ProfileEditOptions options = EditOptions();
  // The run commits with the renumber; its undo renumbers back.
  int64_t run = 0;
  options.before_change = [&](kestrel::store::Connection&, int64_t) {
    kestrel::store::Run r;
    r.pack = fmt::format("renumber profile {} to {}", o.from, o.to);
    r.added = {o.to};
    r.replaced = {o.from};
    r.renumbered = std::pair<int64_t, int64_t>{o.from, o.to};
    run = kestrel::RecordRun(store, r, CommandContext());
  };
  const ProfileEditCounts counts = kestrel::store::RenumberStoredProfile(*store.Connection(), o.from, o.to, options);
  Report(counts, fmt::format("renumbered profile {} to {} in {}", o.from, o.to, store.ShownLocation()), o.json,
         Json{{"store", JsonText(store.ShownLocation())}, {"from", o.from}, {"to", o.to}, {"run", run}});
  if (!o.json) std::cout << fmt::format("recorded as run {} (`kestrel undo {}` undoes it)\n", run, run);
  return 0;
}

const Registration kDelete{"delete", "delete a profile from a store, in one transaction", DeclareDeleteOptions,
                           RunDelete};
const Registration kRenumber{"renumber", "give a stored profile another number, with every reference to it",
                             DeclareRenumberOptions, RunRenumber};

}  // namespace
}  // namespace kestrel::cli
