// kestrel history and undo: the runs a store records (imports, deletes,
// undos), pruned by age if asked; and the undo of one of them, in one
// transaction, refused after a later run that changed the same profiles
// unless forced.
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "command.h"
#include "lock_wait.h"
#include "output.h"
#include "shared_options.h"
#include "signal_interruption.h"
#include "kestrel/engine.h"
#include "kestrel/runs.h"

namespace kestrel::cli {
namespace {

// Application codes as JSON texts (the store keeps them in Latin-1).
Json Codes(const std::vector<std::string>& codes) {
  Json out = Json::array();
  for (const std::string& code : codes) out.push_back(JsonText(code));
  return out;
}

struct HistoryOptions {
  std::string store;
  std::optional<int> prune_days;
  bool json = false;
};

void DeclareHistoryOptions(CLI::App& sub, HistoryOptions& o) {
  AddStoreOption(sub, o.store, "the store whose runs to list");
  sub.add_option("--prune", o.prune_days, "first drop the runs started more than DAYS days ago, with their undo copies")
      ->type_name("DAYS")
      ->check(CLI::Range(0, 36500));
  AddJsonFlag(sub, o.json,
              "print the runs as JSON: {\"store\", \"pruned\", \"runs\": [{\"run\", \"started\", \"user\", \"pack\", "
              "\"added\": [N...], \"replaced\": [N...], \"added_applications\": [CODE...], \"undo_kept\", "
              "\"undone_by\"}]}");
  sub.footer(
      "Every import (unless --no-undo), delete and undo records a run in the store, in its table kestrel_runs, with "
      "a copy of the profiles it replaced or deleted: `kestrel undo RUN` puts them back. The runs go with the store "
      "(its copies and backups). Started times are the local time of the machine that ran them.");
}

int RunHistory(const HistoryOptions& o) {
  kestrel::Store store = OpenStore(o.store);
  kestrel::store::Connection& c = *store.Connection();
  int64_t pruned = 0;
  if (o.prune_days) {
    pruned = kestrel::PruneRuns(store, *o.prune_days, CommandContext());
    if (!o.json) std::cout << fmt::format("pruned {} runs started more than {} days ago\n", pruned, *o.prune_days);
  }
  const std::vector<kestrel::store::Run> runs = kestrel::store::Runs(c);
  if (o.json) {
    Json list = Json::array();
    for (const auto& r : runs)
      list.push_back(Json{{"run", r.id},
                          {"started", r.started},
                          {"user", JsonText(r.user)},
                          {"pack", JsonText(r.pack)},
                          {"added", r.added},
                          {"replaced", r.replaced},
                          {"added_applications", Codes(r.added_applications)},
                          {"undo_kept", r.undo_kept || r.replaced.empty()},
                          {"undone_by", r.undone_by ? Json(*r.undone_by) : Json()}});
    PrintJson(std::cout, Json{{"store", JsonText(store.ShownLocation())}, {"pruned", pruned}, {"runs", list}});
    return 0;
  }
  if (runs.empty()) {
    std::cout << "no runs recorded in " << store.ShownLocation() << '\n';
    return 0;
  }
  std::vector<std::vector<std::string>> rows = {
      {"run", "started", "user", "pack", "added", "replaced", "undo", "undone by"}};
  for (const auto& r : runs)
    rows.push_back({std::to_string(r.id), r.started, r.user, r.pack, ListForStdout(r.added),
                    ListForStdout(r.replaced), r.undo_kept || r.replaced.empty() ? "kept" : "none",
                    r.undone_by ? std::to_string(*r.undone_by) : ""});
  PrintTable(std::cout, rows, {0});
  return 0;
}

struct UndoOptions {
  std::string store;
  int64_t run = 0;
  bool force = false;
  bool json = false;
  std::string user, registry;
};

void DeclareUndoOptions(CLI::App& sub, UndoOptions& o) {
  AddStoreOption(sub, o.store, "the store the run changed");
  sub.add_option("RUN", o.run, "the run to undo, as `kestrel history` lists it")
      ->required()
      ->check(CLI::Range(int64_t{1}, int64_t{9007199254740991}));
  sub.add_flag("--force", o.force, "undo the run even when a later run changed the same profiles");
  sub.add_option("--user", o.user, "user recorded as the last to change the restored rules (default: login name)");
  AddRegistryOption(sub, o.registry);
  AddJsonFlag(sub, o.json,
              "print what was undone as JSON: {\"store\", \"run\", \"undo_run\", \"restored\": [N...], "
              "\"deleted\": [N...], \"applications_deleted\": [CODE...], \"tables\": {TABLE: {\"deleted\", \"added\"}}}");
  sub.footer(
      "Puts the store back as it was before the run, in one transaction: the profiles it replaced or deleted are "
      "imported again from the copy the run kept, the profiles it added are deleted. The undo is a run of its own, "
      "which `kestrel undo` can undo in turn. Refused for a run undone already (9211), one recorded without a copy "
      "(9212: import --no-undo), and one whose profiles a later run changed (9213, naming it) unless --force.");
}

int RunUndo(const UndoOptions& o) {
  kestrel::Store store = OpenStore(o.store);
  kestrel::UndoRequest request{.run = o.run,
                               .force = o.force,
                               .wait_seconds = LockWaitSeconds(),
                               .user = o.user,
                               .registry = o.registry};
  std::atomic<bool> stop{false};
  kestrel::UndoReport report;
  try {
    SignalInterruption stop_on_signals(&stop);
    report = kestrel::Undo(store, request, CommandContext(&stop));
  } catch (const kestrel::Error& e) {
    return Fail(e);
  }
  EndProgress();
  if (o.json) {
    Json tables = Json::object();
    for (const auto& [table, rows] : report.rows) tables[table] = Json{{"deleted", rows.deleted}, {"added", rows.added}};
    PrintJson(std::cout, Json{{"store", JsonText(store.ShownLocation())},
                              {"run", report.run},
                              {"undo_run", report.undo_run},
                              {"restored", report.restored},
                              {"deleted", report.deleted},
                              {"applications_deleted", Codes(report.applications_deleted)},
                              {"renumbered", report.renumbered ? Json{report.renumbered->first, report.renumbered->second}
                                                               : Json(nullptr)},
                              {"tables", tables}});
    return 0;
  }
  std::cout << fmt::format("undid run {} in {} as run {}\n", report.run, store.ShownLocation(), report.undo_run);
  if (report.renumbered)
    std::cout << fmt::format("profile {} numbered {} again\n", report.renumbered->first, report.renumbered->second);
  std::cout << "profiles restored: " << ListForStdout(report.restored) << '\n';
  std::cout << "profiles deleted: " << ListForStdout(report.deleted) << '\n';
  std::cout << "applications deleted: " << ListForStdout(report.applications_deleted) << '\n';
  return 0;
}

const Registration kHistory{"history", "list the runs that changed a store, which `undo` undoes", DeclareHistoryOptions,
                            RunHistory};
const Registration kUndo{"undo", "put a store back as it was before one of its runs, in one transaction",
                         DeclareUndoOptions, RunUndo};

}  // namespace
}  // namespace kestrel::cli
