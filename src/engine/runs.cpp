// RecordRun and Undo: a run's record with its undo copy, made inside the
// transaction of the change it records, and the undo that puts the store back
// as that record says it was.
#include "engine/runs.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <future>
#include <map>
#include <optional>
#include <set>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "base/datetime.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "kestrel/pack_archive.h"
#include "kestrel/profile_edits.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/statements_export.h"
#include "store/statements_import_transaction.h"
#include "store/statements_profiles.h"
#include "store/write_unit.h"

namespace kestrel {
namespace {

bool Stored(store::Connection& c, int64_t profile) {
  return !c.OpenRecordset(store::SelectProfile(c.dialect(), profile))->IsEOF();
}

// A profile's chain of descent as the store keeps it: itself and its
// ancestors.
std::set<int64_t> ChainOf(store::Connection& c, int64_t profile) {
  std::set<int64_t> chain{profile};
  for (auto rs = c.OpenRecordset(store::SelectChainProfileNumbers(c.dialect(), profile)); !rs->IsEOF(); rs->MoveNext())
    chain.insert(rs->Fields(0).Integer());
  return chain;
}

int64_t ParentOf(store::Connection& c, int64_t profile) {
  auto rs = c.OpenRecordset(store::SelectParentLevelRow(c.dialect(), profile));
  return rs->IsEOF() ? 0 : rs->Fields("pprf").Integer();
}

// The undo copy of `profiles`: one pack archive of the chain export of the
// deepest of them, with its revisions and for synchronisation (the last
// changer of every rule kept), down to the parent of the highest, so that an
// import puts each of them back as it is now. Profiles between them that the
// run leaves alone travel too and are put back as they are. nullopt when the
// profiles are not one chain of descent, which one pack cannot hold. The
// archive, compressed (pack files repeat themselves much), is written into
// `folder`; its path is returned.
std::optional<std::string> UndoCopy(Store& store, const std::vector<int64_t>& profiles, const Context& context,
                                    const std::string& folder) {
  store::Connection& c = *store.Connection();
  int64_t deepest = 0, highest = 0;
  std::set<int64_t> deepest_chain;
  size_t highest_depth = 0;
  for (int64_t p : profiles) {
    std::set<int64_t> chain = ChainOf(c, p);
    if (chain.size() > deepest_chain.size()) deepest = p, deepest_chain = chain;
    if (highest == 0 || chain.size() < highest_depth) highest = p, highest_depth = chain.size();
  }
  for (int64_t p : profiles)
    if (!deepest_chain.contains(p)) return std::nullopt;

  Env& env = context.Environment();
  Context quiet;  // the record's export is no step of the change to show
  quiet.env = context.env;
  const ExportReport exported = Export(store,
                                   ExportRequest{.profile = static_cast<int>(deepest),
                                                 .root = folder,
                                                 .revisions = true,
                                                 .based_on = static_cast<int>(ParentOf(c, highest)),
                                                 .for_sync = true},
                                   quiet);
  const std::string archive = files::Join(folder, "undo.tar.zst");
  WritePackArchive(env, exported.folder, archive, false);
  return archive;
}

std::string Listed(const std::vector<int64_t>& numbers) { return fmt::format("{}", fmt::join(numbers, ", ")); }

// The later run still in force that changed one of `run`'s profiles, with
// the profile. A run and the undo that undid it cancel out, and so do an
// undo and the undo of it (which puts the first run back in force).
std::optional<std::pair<store::Run, int64_t>> LaterChange(const std::vector<store::Run>& runs, const store::Run& run) {
  std::map<int64_t, int64_t> undone;  // undo -> the run it undid
  for (const store::Run& r : runs)
    if (r.undone_by) undone[*r.undone_by] = r.id;
  std::set<int64_t> cancelled, mine(run.added.begin(), run.added.end());
  mine.insert(run.replaced.begin(), run.replaced.end());
  for (const store::Run& r : runs) {
    if (r.undone_by) continue;
    // From the last undo of a chain back: each undo cancels the run before it.
    for (auto at = undone.find(r.id); at != undone.end();) {
      cancelled.insert({at->first, at->second});
      const auto before = undone.find(at->second);
      at = before == undone.end() ? undone.end() : undone.find(before->second);
    }
  }
  for (const store::Run& later : runs) {
    if (later.id <= run.id || cancelled.contains(later.id)) continue;
    for (const auto* list : {&later.added, &later.replaced})
      for (int64_t p : *list)
        if (mine.contains(p)) return std::make_pair(later, p);
  }
  return std::nullopt;
}

void DeleteStoredRows(store::Connection& c, int64_t profile) {
  for (std::string_view table : store::ProfileTables()) c.Execute(store::DeleteProfileRows(c.dialect(), table, profile));
}

}  // namespace

namespace engine {

RunRecording::RunRecording(Store& store, const store::Run& run, const Context& context, Copy copy,
                           int wait_seconds)
    : store_(store), record_(run), context_(context) {
  Env& env = context.Environment();
  record_.started = FormatDateTime(env.Now());
  if (record_.user.empty()) record_.user = LoginName(env);
  std::sort(record_.added.begin(), record_.added.end());
  std::sort(record_.replaced.begin(), record_.replaced.end());
  if (record_.replaced.empty() || record_.renumbered) return;
  folder_.emplace(env, "kestrel-undo");
  // A second connection whose snapshot is taken now reads the store as the
  // change found it, whatever the change writes meanwhile on its own.
  std::optional<Store> reader;
  if (copy == Copy::Beside && !store.Location().empty()) {
    try {
      reader.emplace(Store::Open(store.Location(), std::max(wait_seconds, 0)));
      reader->Connection()->BeginSnapshot();
    } catch (const std::exception&) {
      reader.reset();
    }
  }
  if (!reader) {
    archive_ = UndoCopy(store, record_.replaced, context, folder_->path());
    return;
  }
  copying_ = std::async(std::launch::async, [second = std::move(*reader), replaced = record_.replaced, &context,
                                             folder = folder_->path()]() mutable {
    const std::optional<std::string> archive = UndoCopy(second, replaced, context, folder);
    // The snapshot ends unchanged: a read commits nothing.
    second.Connection()->RollbackBatch();
    return archive;
  });
}

RunRecording::~RunRecording() {
  if (copying_.valid()) copying_.wait();
}

int64_t RunRecording::Record() {
  if (copying_.valid()) archive_ = copying_.get();
  return store::RecordRun(*store_.Connection(), record_, context_.Environment(), archive_.value_or(""));
}

}  // namespace engine

int64_t RecordRun(Store& store, const store::Run& run, const Context& context) {
  return engine::RunRecording(store, run, context, engine::RunRecording::Copy::Now).Record();
}

int64_t PruneRuns(Store& store, int days, const Context& context) {
  DateTime now = context.Environment().Now();
  namespace ch = std::chrono;
  const ch::year_month_day then{ch::sys_days{ch::year{now.Year} / ch::month{static_cast<unsigned>(now.Month)} /
                                             ch::day{static_cast<unsigned>(now.Day)}} -
                                ch::days{days}};
  now.Year = static_cast<int>(then.year());
  now.Month = static_cast<int>(static_cast<unsigned>(then.month()));
  now.Day = static_cast<int>(static_cast<unsigned>(then.day()));
  return store::PruneRuns(*store.Connection(), FormatDateTime(now));
}

UndoReport Undo(Store& store, const UndoRequest& request, const Context& context) {
  store::Connection& c = *store.Connection();
  const std::vector<store::Run> runs = store::Runs(c);
  const auto found = std::find_if(runs.begin(), runs.end(), [&](const store::Run& r) { return r.id == request.run; });
  const std::string where = store::MaskedLocation(store.Location());
  if (found == runs.end()) RaiseWithDetail(Ours::RunNotKept, fmt::format("run {} in {}", request.run, where));
  const store::Run& run = *found;
  if (run.undone_by)
    RaiseWithDetail(Ours::RunUndoneAlready, fmt::format("run {}, by run {}", run.id, *run.undone_by));
  if (!run.replaced.empty() && !run.undo_kept && !run.renumbered)
    RaiseWithDetail(Ours::UndoCopyNotKept, fmt::format("run {} replaced profiles {}", run.id, Listed(run.replaced)));
  // Asked before the work and again inside the undo's transaction, where no
  // other run can begin before it commits.
  const auto refuse_later_change = [&](const std::vector<store::Run>& known) {
    if (!request.force)
      if (const auto later = LaterChange(known, run))
        RaiseWithDetail(Ours::UndoAfterLaterRun,
                        fmt::format("run {} ({}, by {}) changed profile {} after run {}", later->first.id,
                                    later->first.started, later->first.user, later->second, run.id));
  };
  refuse_later_change(runs);

  UndoReport report;
  report.run = run.id;
  if (run.renumbered) {
    // The profile gets its number back, with every reference to it, as a
    // renumber of its own that may be undone in turn.
    const int64_t from = run.renumbered->first, to = run.renumbered->second;
    store::ProfileEditOptions edit;
    edit.lock_wait_seconds = request.wait_seconds;
    edit.before_change = [&](store::Connection&, int64_t) {
      refuse_later_change(store::Runs(c));
      store::Run own;
      own.pack = fmt::format("undo of run {}", run.id);
      own.user = request.user;
      own.added = {from};
      own.replaced = {to};
      own.renumbered = std::pair{to, from};
      report.undo_run = RecordRun(store, own, context);
      if (!store::MarkRunUndone(c, run.id, report.undo_run))
        RaiseWithDetail(Ours::RunUndoneAlready, fmt::format("run {}, meanwhile", run.id));
    };
    store::RenumberStoredProfile(c, to, from, edit);
    report.renumbered = std::pair{to, from};
    return report;
  }
  // Inside the undo's transaction, before its first change: the undo's own
  // run (what it replaces and deletes, as it is now), the added profiles
  // gone (children before their parents), the run marked.
  const auto change = [&] {
    refuse_later_change(store::Runs(c));
    store::Run own;
    own.pack = fmt::format("undo of run {}", run.id);
    own.user = request.user;
    for (int64_t p : run.replaced) (Stored(c, p) ? own.replaced : own.added).push_back(p);
    for (int64_t p : run.added)
      if (Stored(c, p)) own.replaced.push_back(p), report.deleted.push_back(p);
    report.undo_run = RecordRun(store, own, context);
    std::sort(report.deleted.rbegin(), report.deleted.rend());
    for (int64_t p : report.deleted) DeleteStoredRows(c, p);
    // The applications the run added go with its profiles, unless a profile
    // made since serves them.
    for (const std::string& appl : run.added_applications) {
      if (!c.OpenRecordset(store::SelectProfilesOfApplication(c.dialect(), appl))->IsEOF()) continue;
      for (std::string_view table : store::ApplicationTables())
        c.Execute(store::DeleteApplicationRows(c.dialect(), table, appl));
      report.applications_deleted.push_back(appl);
    }
    if (!store::MarkRunUndone(c, run.id, report.undo_run))
      RaiseWithDetail(Ours::RunUndoneAlready, fmt::format("run {}, meanwhile", run.id));
  };

  if (run.replaced.empty()) {
    // Nothing to put back: the added profiles go in a transaction of their own.
    store::WriteLockOptions lock;
    lock.wait = std::chrono::seconds(std::max(request.wait_seconds, 0));
    store::WriteUnit unit(c);
    if (!unit.Begin(lock))
      RaiseWithDetail(Ours::StoreLocked, fmt::format("{} (waited {} s)", where, std::max(request.wait_seconds, 0)));
    c.CountRowChanges(&report.rows);
    try {
      change();
      c.CountRowChanges(nullptr);
    } catch (...) {
      c.CountRowChanges(nullptr);
      throw;
    }
    unit.Commit();
  } else {
    Env& env = context.Environment();
    PrivateFolder folder(env, "kestrel-undo");
    // Out of the store a piece at a time into a file, and unpacked from it.
    const std::string archive = files::Join(folder.path(), fmt::format("undo-copy-of-run-{}.tar.zst", run.id));
    if (!store::RunArchive(c, run.id, env, archive))
      RaiseWithDetail(Ours::UndoCopyNotKept, fmt::format("run {}", run.id));
    const PackSource copy(env, archive);
    ImportRequest import{.pack = copy.folder(),
                         .replace = ReplacePolicy::Replace,
                         .wait_seconds = request.wait_seconds,
                         .user = request.user,
                         .registry = request.registry,
                         .no_undo = true};
    const ImportReport imported = engine::ImportWith(store, import, context, [&](ImportReport&) { change(); });
    for (const Target& t : imported.targets) report.restored.push_back(t.profile);
    std::sort(report.restored.begin(), report.restored.end());
    report.rows = imported.rows;
  }
  for (std::string_view table : {store::kRunsTable, store::kRunPiecesTable}) report.rows.erase(std::string(table));
  return report;
}

}  // namespace kestrel
