// The per-profile import: the walk of the header file that renumbers the
// pack's profiles and deletes what they replace, the loaders in their order,
// and the repair of the chains below replaced profiles. It all runs inside
// the import's one write unit (import_unit.h); what the check asks of the
// store and the application data is checked before the first delete, the
// rule files while they load, and the unit is rolled back on a refusal.
#include "importer/transaction.h"

#include <memory>

#include "base/error.h"
#include "base/files.h"
#include "base/value.h"
#include "importer/app_import.h"
#include "importer/entry_points.h"
#include "importer/header_import.h"
#include "importer/hierarchy.h"
#include "importer/loaders.h"
#include "importer/lookups.h"
#include "importer/pack_check.h"
#include "importer/plan_lookups.h"
#include "importer/run_log.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/statements_import_transaction.h"

namespace kestrel::importer {
namespace {

std::string JoinFields(const std::vector<std::string>& fields, const std::string& separator) {
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) out += separator;
    out += fields[i];
  }
  return out;
}

// Deletes the application when the store holds it, between its two log lines.
void ReplaceApplication(const ImportContext& cx, const std::string& appl, ImportSummary& replaced) {
  if (!ApplicationExists(cx, appl)) return;
  Log(cx, RunLogEvent{.kind = LogKind::ApplicationDeleting, .application = appl});
  DeleteApplication(cx, appl);
  replaced.ApplicationsReplaced.push_back(appl);
  Log(cx, RunLogEvent{.kind = LogKind::ApplicationDeleted, .application = appl});
}

// Runs a step of ImportProfileEx between its log lines: started, then done,
// or, after a Failure, the error when that step logs it and that it failed.
// Anything else goes on up to the procedure's trap unlogged.
template <class Body>
void Step(const ImportContext& cx, ImportStep step, bool log_error, Body&& body) {
  Log(cx, RunLogEvent{.kind = LogKind::StepStarted, .step = step});
  try {
    body();
    Log(cx, RunLogEvent{.kind = LogKind::StepDone, .step = step});
  } catch (const Failure& e) {
    if (log_error) LogFailure(cx, e);
    Log(cx, RunLogEvent{.kind = LogKind::StepFailed, .step = step});
    throw;
  }
}

}  // namespace

void WalkHeaderFile(const PlannedPack& planned, const ImportContext& cx, HeaderWalk mode,
                    std::vector<std::string>& map, std::vector<std::string>& adjust, size_t& line_number,
                    ImportSummary& replaced) {
  const bool importing = mode == HeaderWalk::Import;
  const ImportPlan& plan = planned.plan;
  const std::string& separator = planned.options.FieldSeparator;
  const size_t entries = plan.size();
  map.assign(entries, std::string());
  adjust.assign(entries, std::string());
  line_number = 0;

  auto in = files::TextReader::Open(cx.env(), files::PathInFolder(cx.env(), planned.options.Path, "Qzmap100.dat"));
  std::string line;
  for (size_t i = 0; in->ReadLine(line); ++i) {
    line_number = in->line_number();
    if (importing) Log(cx, RunLogEvent{.kind = LogKind::HeaderLineRead, .text = line});
    int32_t position = 0;
    std::vector<std::string> fields;
    ApplySelectionToHeader(plan, separator, line, position, fields);
    if (importing) Log(cx, RunLogEvent{.kind = LogKind::HeaderLineSelected, .text = JoinFields(fields, separator)});

    // The map and the adjust list have one element per plan entry.
    if (i >= entries) RaiseRuntime(rt::SubscriptOutOfRange);
    const std::string& number = fields[0];
    map[i] = number + "_" + fields[3] + "_" + fields[4] + "_" + fields[5];
    adjust[i] = "_";
    if (!importing) continue;

    const int64_t mprf = Value(number).Integer();
    if (ProfileExists(cx, mprf)) {
      const std::string derived = GetDerivedProfiles(cx, number);
      adjust[i] = number + "_" + derived;
      Log(cx, RunLogEvent{.kind = LogKind::ProfilesToAdjust, .profile = number, .text = derived});
      Log(cx, RunLogEvent{.kind = LogKind::ProfileDeleting, .profile = number});
      DeleteProfile(cx, mprf);
      replaced.ProfilesReplaced.push_back(mprf);
      Log(cx, RunLogEvent{.kind = LogKind::ProfileDeleted, .profile = number});
    }
    ReplaceApplication(cx, fields[1], replaced);
    ReplaceApplication(cx, fields[2], replaced);
    cx.Report("profiles", static_cast<int64_t>(i) + 1, static_cast<int64_t>(entries));
  }
  in->Close();
}

namespace {

// Records the check's refusal: where it found the fault, and the error and
// where in the run log.
void RecordRefusal(const ImportContext& cx, const PackRefusal& refusal, ImportResults& r) {
  r.Error.Set(refusal.error);
  r.RefusedAt = refusal.place;
  LogFailure(cx, refusal.error);
  Log(cx, RunLogEvent{.kind = LogKind::PackRefused, .text = refusal.place});
}

// The import proper, once the check has passed what it reads before
// anything is deleted. A failure the loaders went on after is left in r.
void WalkAndLoad(const PlannedPack& planned, const ImportContext& cx, ImportResults& r) {
  std::vector<std::string> adjust;
  std::vector<std::string> map;
  size_t line_number = 0;
  WalkHeaderFile(planned, cx, HeaderWalk::Import, map, adjust, line_number, r.Summary);
  ReverseStringArray(cx, map);
  r.HeaderMap = std::move(map);

  std::optional<Error> went_on_after;
  try {
    went_on_after = ImportProfileEx(planned, cx, r.HeaderMap);
  } catch (const Failure& e) {
    LogFailure(cx, e);
    Log(cx, RunLogEvent{.kind = LogKind::ProcedureFailed, .procedure = "ImportProfileEx"});
    throw;
  }
  if (went_on_after) r.Error.Set(*went_on_after);
  // A chain left half repaired must not be committed: its failure fails
  // the import.
  AdjustDerivedChains(cx, adjust);
}

}  // namespace

bool CheckRefusesPack(const PlannedPack& planned, const ImportContext& cx, ImportResults& r) {
  const std::optional<PackRefusal> refused = CheckLogicPackFiles(planned, cx);
  if (!refused) return false;
  RecordRefusal(cx, *refused, r);
  return true;
}

bool ValidateAndImportEx(const ImportOptions& o, const ImportContext& cx, ImportResults& r) {
  const PlannedPack planned = PlannedPackOf(o, r);
  // The library, rule and function files, most of a pack, are checked by
  // the loaders' own reading of them: the unit the import runs in is rolled
  // back when the check refuses the pack, so the store still comes out as it
  // went in, and the pack is read once instead of twice.
  PackCheck check(planned, cx);
  ImportContext loading = cx;
  loading.Check = &check;
  bool started = false, imported = false;
  try {
    if (const std::optional<PackRefusal> refused = check.Start(false)) {
      RecordRefusal(cx, *refused, r);
      return false;
    }
    started = true;
    if (cx.BeforeChange) cx.BeforeChange();
    WalkAndLoad(planned, loading, r);
    imported = true;
  } catch (const Failure& e) {
    r.Error.Set(e);
  } catch (const std::exception& ex) {
    r.Error.Trap(kTransactionUnexpected, TrapHead::ImportTransaction, std::string(kValidateAndImport),
                 AsComError(ex));
  }
  // A check that failed to start has nothing to finish; an interrupted
  // import ends at once. Dropping the check stops its reading.
  if (!started || cx.StopRequested()) return false;
  // A fault of the pack is named as the check finds it, whatever the load
  // made of it before: the check reads what the load did not read through.
  if (const std::optional<PackRefusal> refused = check.Finish()) {
    RecordRefusal(cx, *refused, r);
    return false;
  }
  return imported;
}

namespace {

// Runs one delete; a store without the table has nothing to delete there.
// Any other refusal (a lock, an I/O error, a full disk) fails the import:
// going on would load over rows that are still there.
void DeleteRows(store::Connection& c, const std::string& statement) {
  try {
    c.Execute(statement);
  } catch (const ComError& e) {
    if (!c.IsMissingTable(e)) throw;
  }
}

}  // namespace

void DeleteProfile(const ImportContext& cx, int64_t mprf) {
  store::Connection& c = ConnectionOf(cx);
  for (std::string_view table : store::ProfileTables()) DeleteRows(c, store::DeleteProfileRows(c.dialect(), table, mprf));
}

void DeleteApplication(const ImportContext& cx, const std::string& appl) {
  store::Connection& c = ConnectionOf(cx);
  for (std::string_view table : store::ApplicationTables())
    DeleteRows(c, store::DeleteApplicationRows(c.dialect(), table, appl));
}

std::optional<Error> ImportProfileEx(const PlannedPack& planned, const ImportContext& cx,
                                     std::vector<std::string>& header_map) {
  return UnderTrap(kProfileImportUnexpected, TrapHead::Import, "ImportProfileEx", [&] {
    Step(cx, ImportStep::Applications, false, [&] { ImportApplicationsFromLogicPack(planned, cx); });

    std::string imported;
    std::optional<Error> went_on_after;
    Step(cx, ImportStep::Headers, true,
         [&] { went_on_after = ImportProfileHeaders(planned, cx, header_map, imported); });

    // The library loader has no trap of its own: its failure ends here, in
    // this procedure's trap.
    Step(cx, ImportStep::Library, false, [&] { LoadLibraryFiles(planned, header_map, cx); });
    Step(cx, ImportStep::Rules, true, [&] { LoadToMAP120_130_140_160(planned, header_map, cx); });
    // A failure of the shared functions is logged with the rules' text.
    Step(cx, ImportStep::Functions, false, [&] { LoadToMAP150(planned, header_map, cx); });
    if (planned.manifest.revisions)
      Step(cx, ImportStep::Revisions, false, [&] { LoadToMAP110_125_135_145_165(planned, header_map, cx); });
    return went_on_after;
  });
}

}  // namespace kestrel::importer
