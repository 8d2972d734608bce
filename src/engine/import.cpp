// Verify, Check and Import: a request made into the importer's options,
// context and selection on the installation the registry names (an import
// needs it, the calls that only read do not), run as the
// command line's verify, check and import run it (the pack's proposal first,
// then the selection), and the importer's results read back as an Error with
// its place or an ImportReport.
#include "kestrel/engine.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "engine/runs.h"
#include "engine/selection_targets.h"
#include "importer/entry_points.h"
#include "importer/import_context.h"
#include "importer/import_driver.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "importer/install.h"
#include "importer/pack_file_refusals.h"
#include "importer/selection.h"
#include "kestrel/registry.h"

namespace kestrel {

std::string engine::LoginName(Env& env) {
  if (std::string name = env.AccountName(); !name.empty()) return name;
  for (const char* name : {"LOGNAME", "USER"})
    if (std::string v = env.Variable(name); !v.empty()) return v;
  return "";
}

namespace {

// One call's importer: its options, its context on the installation the
// registry file names, its results, and the selection the request makes.
struct Session {
  explicit Session(Env& env) : cx(env) {}
  importer::ImportOptions o;
  importer::ImportContext cx;
  importer::ImportResults r;
  engine::Proposed proposal;
  importer::SelectionLists selection;  // the pack's entries and the targets asked for
};

// What a call needs of the installation: an import writes its work folders
// and run log there and cannot go on without it; a call that only reads
// (the proposal, a verification, a check) runs without one, and writes its
// line of the run log only where an installation is recorded and there.
enum class Installation { Required, IfRecorded };

// Finds the installation as the component's creation does; its work folders
// and run log live in the recorded folder, so one that has gone is refused
// here rather than later with no path to show for it.
void UseInstallation(importer::ImportContext& cx, const std::string& registry, Installation need) {
  Env& env = cx.env();
  const std::string file = registry.empty() ? RegistryFilePath(env) : registry;
  cx.RegistryComponent = std::make_shared<RegistryFile>(env, file);
  std::string folder;
  std::optional<Error> missing;
  try {
    folder = importer::InstallationFolder(cx);
  } catch (const Error& e) {
    missing = e;
  }
  if (need == Installation::IfRecorded && (missing || folder.empty() || !env.FolderExists(folder))) {
    // No run log: an empty path is never opened (a relative one would land
    // in the working folder).
    cx.InstallationPath.clear();
    cx.ImportLogPath.clear();
    return;
  }
  if (missing) {
    Place place;
    place.path = file;
    throw Error(missing->number(), missing->description(), std::move(place));
  }
  if (!folder.empty() && !env.FolderExists(folder)) {
    Place place;
    place.path = folder;
    throw Error(rt::PathNotFound,
                fmt::format("{}: the installation folder {} (Path= in {}) does not exist",
                            RuntimeErrorText(rt::PathNotFound), folder, file),
                std::move(place));
  }
  cx.InstallationPath = folder;
  cx.ImportLogPath = files::Join(cx.TempFolder(), "importmr.log");
}

// The targets the request asks for: its own (an extn left empty takes the
// pack's), else the proposal's; then renumbered.
std::vector<Target> ChosenTargets(const ImportRequest& request, const engine::Proposed& proposal) {
  std::vector<Target> targets = request.targets.empty() ? proposal.targets : request.targets;
  const auto& sources = proposal.lists.sources;
  for (size_t i = 0; i < targets.size(); ++i) {
    Target& t = targets[i];
    t.stored = {};
    if (i < sources.size()) {
      if (t.source_extn.empty()) t.source_extn = sources[i].source_extn;
      if (t.target_extn.empty()) t.target_extn = sources[i].target_extn;
    }
    if (const auto to = request.renumber.find(t.profile); to != request.renumber.end()) t.profile = to->second;
    if (const auto to = request.renumber.find(t.parent); to != request.renumber.end()) t.parent = to->second;
  }
  return targets;
}

// With `sums`, the pack's check against its sums is the one recorded there
// when the files have not changed since.
std::unique_ptr<Session> Prepare(Store& store, const ImportRequest& request, const Context& context,
                                 const std::shared_ptr<pack::VerifiedSums>& sums = nullptr) {
  Env& env = context.Environment();
  auto s = std::make_unique<Session>(env);
  if (sums) s->cx.CheckedSums = sums;
  s->o.Path = request.pack;
  // The bulk loading of the batch path names the store as its database, on this machine.
  s->o.DatabaseName = store.Location();
  s->o.DatabaseServer = "local";
  s->o.LastModifiedUser = request.user.empty() ? engine::LoginName(env) : request.user;
  s->o.LockWaitSeconds = request.wait_seconds;
  s->o.DryRun = request.dry_run;
  s->o.KeepWork = request.keep_work;
  s->o.AllowPackWithoutSums = request.allow_without_sums;
  s->cx.DataConnection = store.Connection();
  s->cx.Progress = context.progress;
  s->cx.Notice = context.notice;
  s->cx.RunLog = context.run_log;
  s->cx.Stop = context.stop;
  UseInstallation(s->cx, request.registry, Installation::IfRecorded);

  s->proposal = engine::ProposedTargets(s->o, s->cx);
  s->selection.sources = s->proposal.lists.sources;
  for (const Target& t : ChosenTargets(request, s->proposal)) s->selection.targets.push_back(engine::EntryOf(t));
  return s;
}

// The failure of a check or an import: the importer's, trapped as it was
// (its text, else the message's); and where the check refused the pack, or
// the selection's entry it refused.
Error FailureOf(const importer::ImportResults& r, const Error& message) {
  Error failure = r.Error.value();
  if (failure.number() == 0) failure = Error(Number(Ours::Internal), failure.text());
  // Every failure says something, even one that left no text behind.
  if (failure.text().empty())
    failure = failure.WithText(message.text().empty() ? std::string(DefaultText(Ours::Internal)) +
                                                            ": the import failed without a reason of its own; see "
                                                            "the import log"
                                                      : message.text());
  Place place = importer::RefusalPlace(r.RefusedAt);
  place.entry = r.RefusedEntry;
  return failure.WithPlace(std::move(place));
}

// Verifies the session's selection; its findings, each with its entry.
std::vector<Error> Findings(Session& s, importer::SelectionLists& marked) {
  importer::Verification v = importer::VerifyUserSelections(s.cx, s.selection);
  if (v.reported) s.r.Error.Set(*v.reported);
  marked = std::move(v.marked);
  if (!v.passed && v.findings.empty()) throw FailureOf(s.r, v.message);
  return v.findings;
}

// The session's selection verified: its findings, and the import's one
// refusal for them.
SelectionVerdict VerdictOf(Session& s, importer::SelectionLists& marked) {
  SelectionVerdict verdict;
  verdict.findings = Findings(s, marked);
  if (verdict.findings.empty()) return verdict;
  // One failure for them all: the number the importer was left with, the
  // texts in the order found, the place of the first.
  int32_t number = s.r.Error.number();
  if (number == 0) number = Number(Ours::InvalidSelection);
  std::vector<std::string> texts;
  for (const Error& e : verdict.findings) texts.push_back(e.text());
  verdict.refusal.emplace(number, fmt::format("{}", fmt::join(texts, " ")), verdict.findings.front().place());
  return verdict;
}

PackProfile SourceOf(const importer::SelectionEntry& e) {
  PackProfile p;
  p.number = static_cast<int>(importer::NumberOf(e.Field(0)));
  p.source_application = e.Field(1);
  p.target_application = e.Field(2);
  p.parent = static_cast<int>(importer::NumberOf(e.Field(3)));
  p.source_extn = e.Field(4);
  p.target_extn = e.Field(5);
  return p;
}

}  // namespace

std::vector<Target> Targets(Store& store, const ImportRequest& request, const Context& context) {
  const std::unique_ptr<Session> s = Prepare(store, request, context);
  std::vector<Target> marked;
  for (const importer::SelectionEntry& entry : s->selection.targets) {
    int32_t keep_own_number = 0;
    marked.push_back(engine::TargetOf(importer::MarkSelectionEntry(s->cx, entry, keep_own_number)));
  }
  return marked;
}

std::vector<Error> Verify(Store& store, const ImportRequest& request, const Context& context) {
  const std::unique_ptr<Session> s = Prepare(store, request, context);
  importer::SelectionLists marked;
  return Findings(*s, marked);
}

SelectionVerdict Verdict(Store& store, const ImportRequest& request, const Context& context) {
  const std::unique_ptr<Session> s = Prepare(store, request, context);
  importer::SelectionLists marked;
  return VerdictOf(*s, marked);
}

void Check(Store& store, const ImportRequest& request, const Context& context) {
  const std::unique_ptr<Session> s = Prepare(store, request, context);
  Error message(0, "");
  if (!importer::CheckLogicPack(s->o, s->cx, s->r, s->selection, message)) throw FailureOf(s->r, message);
}

ImportReport Import(Store& store, const ImportRequest& request, const Context& context) {
  return engine::ImportPack(store, request, context, nullptr);
}

namespace engine {

ImportPlan PlanImport(Store& store, const ImportRequest& request, const Context& context,
                      const std::shared_ptr<pack::VerifiedSums>& sums) {
  const std::unique_ptr<Session> s = Prepare(store, request, context, sums);
  importer::SelectionLists marked;
  ImportPlan plan;
  plan.verdict = VerdictOf(*s, marked);
  for (const importer::SelectionEntry& e : marked.targets) plan.targets.push_back(TargetOf(e));
  return plan;
}

ImportReport ImportPack(Store& store, const ImportRequest& request, const Context& context,
                        const std::shared_ptr<pack::VerifiedSums>& sums) {
  if (request.no_undo || request.dry_run) return ImportWith(store, request, context, nullptr, sums);
  // The run and its undo copy go into the store inside the import's own
  // transaction and commit, or roll back, with the import. The copy reads the
  // store as it was before the first delete, on a connection of its own,
  // while the import loads.
  std::unique_ptr<RunRecording> recording;
  return ImportWith(
      store, request, context,
      [&](ImportReport& report) {
        store::Run run;
        run.pack = request.recorded_as.empty() ? request.pack : request.recorded_as;
        run.user = request.user;
        for (const Target& t : report.targets) {
          (t.stored.profile ? run.replaced : run.added).push_back(t.profile);
          for (const auto& [code, stored] : {std::pair{&t.source_application, t.stored.source_application},
                                             std::pair{&t.target_application, t.stored.target_application}})
            if (!stored && std::find(run.added_applications.begin(), run.added_applications.end(), *code) ==
                               run.added_applications.end())
              run.added_applications.push_back(*code);
        }
        recording =
            std::make_unique<RunRecording>(store, run, context, RunRecording::Copy::Beside, request.wait_seconds);
      },
      sums, [&](ImportReport& report) { report.run = recording->Record(); });
}

ImportReport ImportWith(Store& store, const ImportRequest& request, const Context& context,
                        const std::function<void(ImportReport&)>& before_change,
                        const std::shared_ptr<pack::VerifiedSums>& sums,
                        const std::function<void(ImportReport&)>& before_commit) {
  const std::unique_ptr<Session> s = Prepare(store, request, context, sums);
  importer::SelectionLists marked;
  if (SelectionVerdict verdict = VerdictOf(*s, marked); verdict.refusal) throw std::move(*verdict.refusal);

  // A selection that fails is refused as `verify` refuses it, installation
  // or not; what passes needs the installation to be imported.
  UseInstallation(s->cx, request.registry, Installation::Required);

  ImportReport report;
  for (const importer::SelectionEntry& e : marked.targets) report.targets.push_back(engine::TargetOf(e));
  // The import deletes what it replaces before it loads; that takes consent.
  engine::RefuseReplaceWithoutConsent(request, report.targets);

  // The importer traps what a hook raises into its own numbers; the hook's
  // failure is raised as it was, unless the check refused the pack.
  std::exception_ptr hook_failed;
  const auto hooked = [&](const std::function<void(ImportReport&)>& hook) -> std::function<void()> {
    if (!hook) return nullptr;
    return [&] {
      try {
        hook(report);
      } catch (...) {
        hook_failed = std::current_exception();
        throw;
      }
    };
  };
  s->cx.BeforeChange = hooked(before_change);
  s->cx.BeforeCommit = hooked(before_commit);
  Error message(0, "");
  if (!importer::ImportLogicPack(s->o, s->cx, s->r, s->selection, message)) {
    // A pack the check refuses is named as such, whatever the hook made of
    // the store the pack did not fit.
    if (hook_failed && s->r.RefusedAt.empty()) std::rethrow_exception(hook_failed);
    throw FailureOf(s->r, message);
  }
  for (const importer::SelectionEntry& e : s->selection.sources) report.sources.push_back(SourceOf(e));
  const ImportSummary& summary = s->r.Summary;
  report.dry_run = summary.DryRun;
  report.committed = summary.Committed;
  report.profiles_replaced = summary.ProfilesReplaced;
  report.applications_replaced = summary.ApplicationsReplaced;
  report.rows = summary.Rows;
  // The record of the run is the store's own business, not the import's rows.
  for (std::string_view table : {store::kRunsTable, store::kRunPiecesTable}) report.rows.erase(std::string(table));
  report.seconds = summary.Seconds;
  if (context.run_log) report.run_log = s->cx.ImportLogPath;
  return report;
}

}  // namespace engine
}  // namespace kestrel
