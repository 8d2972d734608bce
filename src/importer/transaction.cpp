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
void ReplaceApplication(const ImportContext& cx, ErrorState& error, const std::string& appl, ImportSummary& replaced) {
  if (!ApplicationExists(cx, error, appl)) return;
  Log(cx, RunLogEvent{.kind = LogKind::ApplicationDeleting, .application = appl});
  DeleteApplication(cx, appl);
  replaced.ApplicationsReplaced.push_back(appl);
  Log(cx, RunLogEvent{.kind = LogKind::ApplicationDeleted, .application = appl});
}

// Logs how a step of ImportProfileEx ended: done, or, after a failure, the
// error when that step logs it and then that it failed.
bool Step(const ImportContext& cx, const ErrorState& error, bool ok, ImportStep step, bool log_error) {
  if (ok) {
    Log(cx, RunLogEvent{.kind = LogKind::StepDone, .step = step});
    return true;
  }
  if (log_error) LogFailure(cx, error.value());
  Log(cx, RunLogEvent{.kind = LogKind::StepFailed, .step = step});
  return false;
}

void Started(const ImportContext& cx, ImportStep step) {
  Log(cx, RunLogEvent{.kind = LogKind::StepStarted, .step = step});
}

}  // namespace

bool WalkHeaderFile(const PlannedPack& planned, const ImportContext& cx, ErrorState& error, HeaderWalk mode,
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
    if (!ApplySelectionToHeader(plan, separator, error, line, position, fields)) return false;
    if (importing) Log(cx, RunLogEvent{.kind = LogKind::HeaderLineSelected, .text = JoinFields(fields, separator)});

    // The map and the adjust list have one element per plan entry.
    if (i >= entries) RaiseRuntime(rt::SubscriptOutOfRange);
    const std::string& number = fields[0];
    map[i] = number + "_" + fields[3] + "_" + fields[4] + "_" + fields[5];
    adjust[i] = "_";
    if (!importing) continue;

    const int64_t mprf = Value(number).Integer();
    if (ProfileExists(cx, error, mprf)) {
      const std::string derived = GetDerivedProfiles(cx, error, number);
      adjust[i] = number + "_" + derived;
      Log(cx, RunLogEvent{.kind = LogKind::ProfilesToAdjust, .profile = number, .text = derived});
      Log(cx, RunLogEvent{.kind = LogKind::ProfileDeleting, .profile = number});
      DeleteProfile(cx, mprf);
      replaced.ProfilesReplaced.push_back(mprf);
      Log(cx, RunLogEvent{.kind = LogKind::ProfileDeleted, .profile = number});
    }
    ReplaceApplication(cx, error, fields[1], replaced);
    ReplaceApplication(cx, error, fields[2], replaced);
    cx.Report("profiles", static_cast<int64_t>(i) + 1, static_cast<int64_t>(entries));
  }
  in->Close();
  return true;
}

namespace {

// Records the check's refusal: where it found the fault, and the error and
// where in the run log.
void RecordRefusal(const ImportContext& cx, const ErrorState& error, const std::string& place,
                   std::string& refused_at) {
  refused_at = place;
  LogFailure(cx, error.value());
  Log(cx, RunLogEvent{.kind = LogKind::PackRefused, .text = place});
}

// The import proper, once the check has passed what it reads before
// anything is deleted.
bool WalkAndLoad(const PlannedPack& planned, const ImportContext& cx, ImportResults& r) {
  std::vector<std::string> adjust;
  std::vector<std::string> map;
  size_t line_number = 0;
  if (!WalkHeaderFile(planned, cx, r.Error, HeaderWalk::Import, map, adjust, line_number, r.Summary)) return false;
  ReverseStringArray(cx, map);
  r.HeaderMap = std::move(map);

  if (!ImportProfileEx(planned, cx, r.HeaderMap, r.Error)) {
    LogFailure(cx, r.Error.value());
    Log(cx, RunLogEvent{.kind = LogKind::ProcedureFailed, .procedure = "ImportProfileEx"});
    return false;
  }
  // A chain left half repaired must not be committed: its failure fails
  // the import, with the error it set.
  return AdjustDerivedChains(cx, r.Error, adjust);
}

}  // namespace

bool CheckRefusesPack(const PlannedPack& planned, const ImportContext& cx, ErrorState& error,
                      std::string& refused_at) {
  std::string place;
  if (CheckLogicPackFiles(planned, cx, error, place)) return false;
  RecordRefusal(cx, error, place, refused_at);
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
  std::string place;
  bool started = false, imported = false;
  try {
    if (!check.Start(r.Error, place, false)) {
      RecordRefusal(cx, r.Error, place, r.RefusedAt);
      return false;
    }
    started = true;
    if (cx.BeforeChange) cx.BeforeChange();
    imported = WalkAndLoad(planned, loading, r);
  } catch (const std::exception& ex) {
    r.Error.Trap(kTransactionUnexpected, TrapHead::ImportTransaction, std::string(kValidateAndImport),
                 AsComError(ex));
  }
  // A check that failed to start has nothing to finish; an interrupted
  // import ends at once. Dropping the check stops its reading.
  if (!started || cx.StopRequested()) return false;
  // A fault of the pack is named as the check finds it, whatever the load
  // made of it before: the check reads what the load did not read through.
  ErrorState refusal;
  if (!check.Finish(refusal, place)) {
    r.Error = refusal;
    RecordRefusal(cx, r.Error, place, r.RefusedAt);
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

bool ImportProfileEx(const PlannedPack& planned, const ImportContext& cx, std::vector<std::string>& header_map,
                     ErrorState& error) {
  try {
    Started(cx, ImportStep::Applications);
    if (!Step(cx, error, ImportApplicationsFromLogicPack(planned, cx, error), ImportStep::Applications, false))
      return false;

    Started(cx, ImportStep::Headers);
    std::string imported;
    if (!Step(cx, error, ImportProfileHeaders(planned, cx, header_map, error, imported), ImportStep::Headers, true))
      return false;

    // The library loader has no trap of its own: its failure ends here, in
    // this procedure's trap.
    Started(cx, ImportStep::Library);
    if (!Step(cx, error, LoadLibraryFiles(planned, header_map, cx), ImportStep::Library, false)) return false;

    Started(cx, ImportStep::Rules);
    if (!Step(cx, error, LoadToMAP120_130_140_160(planned, header_map, cx, error), ImportStep::Rules, true))
      return false;

    // A failure of the shared functions is logged with the rules' text.
    Started(cx, ImportStep::Functions);
    if (!Step(cx, error, LoadToMAP150(planned, header_map, cx, error), ImportStep::Functions, false)) return false;

    if (planned.manifest.revisions) {
      Started(cx, ImportStep::Revisions);
      if (!Step(cx, error, LoadToMAP110_125_135_145_165(planned, header_map, cx, error), ImportStep::Revisions,
                false))
        return false;
    }
    return true;
  } catch (const std::exception& ex) {
    error.Trap(kProfileImportUnexpected, TrapHead::Import, "ImportProfileEx", AsComError(ex));
    return false;
  }
}

}  // namespace kestrel::importer
