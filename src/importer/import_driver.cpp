// ImportLogicPack: checks the user's selection again, reads the manifest's
// options, records and logs the import plan, and hands over to the
// per-profile import, all of it as one unit of the store. Nothing is written
// to the store before that hand-over. CheckLogicPack runs the same planning
// and the pack check alone.
#include "importer/import_driver.h"

#include <algorithm>
#include <functional>

#include "base/error.h"
#include "importer/entry_points.h"
#include "importer/header_check.h"
#include "importer/pack_sums_check.h"
#include "importer/import_unit.h"
#include "importer/run_log.h"
#include "importer/planned_pack.h"
#include "importer/selection.h"
#include "importer/transaction.h"
#include "pack/manifest.h"

namespace kestrel::importer {

namespace {

// Fills one side of the plan's entries and logs them.
void PlanSide(const ImportContext& cx, const std::vector<SelectionEntry>& entries, std::vector<PlanEntry>& plan,
              PlanProfile PlanEntry::*side) {
  Log(cx, LogKind::PlanHeader);
  for (size_t i = 0; i < plan.size(); ++i) {
    if (i >= entries.size()) RaiseRuntime(rt::SubscriptOutOfRange);
    const SelectionEntry& e = entries[i];
    const std::string &number = e.Field(0), &sapp = e.Field(1), &tapp = e.Field(2), &parent = e.Field(3);
    plan[i].*side = PlanProfile{NumberOf(number), NumberOf(parent), sapp, tapp};
    Log(cx, RunLogEvent{.kind = LogKind::PlanEntry,
                        .index = static_cast<int64_t>(i),
                        .profile = number,
                        .fields = {sapp, tapp, parent}});
  }
}

// The message of a failed per-profile import: its error, and where the
// check refused the pack when it did.
Error ImportFailureMessage(const ImportResults& r) {
  if (r.RefusedAt.empty()) return r.Error.value();
  return r.Error.value().WithText(r.Error.text() + " (" + std::string(kCheckRefused) + r.RefusedAt + ")");
}

// Where the driving entry points get the selection from: typed lists as
// given, or a details string parsed inside the entry point's trap (a details
// string without its second line fails as the run time failed on it).
using ReadSelection = std::function<SelectionLists()>;

// The source and target lists, each logged as the details string carries it.
SelectionLists ReadSelectionLists(const ImportContext& cx, const ReadSelection& read) {
  SelectionLists lists = read();
  Log(cx, RunLogEvent{.kind = LogKind::PackContents, .text = ListText(lists.sources)});
  Log(cx, RunLogEvent{.kind = LogKind::ImportPreference, .text = ListText(lists.targets)});
  return lists;
}

// Whether the selection is refused: lists of different length, a value the
// import cannot write, a repeated target, or (when `verify_against_store`) a target the store's profiles
// rule out. A refusal sets the message, the entry it is about (that of the
// value the error names, else the first found) and logs it.
bool SelectionRefused(const ImportContext& cx, ImportResults& r, const SelectionLists& lists, Error& message,
                      bool verify_against_store) {
  std::vector<Error> found;
  // The number and text reported: those of the last finding.
  int32_t number = 0;
  std::string text;
  if (lists.sources.size() != lists.targets.size()) {
    number = 505;
    text = "Source and target number of profiles differ.";
  } else if (found = CheckSelectionValues(lists); !found.empty()) {
    number = found.back().number();
    text = found.back().text();
    // The entry named is that of the value reported.
    std::reverse(found.begin(), found.end());
  } else if (const std::optional<Error> repeat = CheckTargetRepeats(lists.targets)) {
    found = {*repeat};
    number = repeat->number();
    text = repeat->text();
  } else if (verify_against_store && !(found = VerifySelection(cx, lists.targets)).empty()) {
    number = found.back().number();
    text = MessageOf(found);
  } else {
    // The verification starts the message afresh; the check alone leaves it.
    if (verify_against_store) message = Error(0, "");
    return false;
  }
  r.Error.Set(number, text);
  if (!found.empty()) r.RefusedEntry = found.front().place().entry;
  message = Error(number, text);
  LogFailure(cx, message);
  return true;
}

// The planning an import and the check alone share: the lists, the header
// file's own values, the selection checks (the check alone skips those against the store), the manifest and
// the plan. False, with the message set and logged, when the selection is
// refused; a manifest that cannot be read raises 100.
bool PlanFromDetails(const ImportOptions& o, const ImportContext& cx, ImportResults& r, const ReadSelection& read,
                     Error& message, bool verify_against_store) {
  const SelectionLists lists = ReadSelectionLists(cx, read);
  // The pack's files as its export wrote them first, then the header file:
  // its own line names a fault better than the selection made from it.
  try {
    CheckPackSums(o, cx);
  } catch (const Error& e) {
    r.Error.Set(e.number(), e.description());
    message = r.Error.value();
    return false;
  }
  if (const std::optional<Error> refused = CheckHeaderFile(cx.env(), o)) {
    r.Error.Set(refused->number(), refused->description());
    r.RefusedAt = PlaceText(refused->place());
    message = ImportFailureMessage(r);
    LogFailure(cx, message);
    return false;
  }
  if (SelectionRefused(cx, r, lists, message, verify_against_store)) return false;
  if (!ReadLogicPackManifest(o, cx, r.Manifest)) throw ComError(100, "ExportMR.log could not be read.");
  BuildImportPlan(o, cx, lists, r);
  return true;
}

// Runs one of the driving entry points after its banner, with RefusedAt
// cleared; an unexpected failure becomes its message and error, reported as
// `procedure`'s.
template <class Run>
bool RunTrapped(const ImportContext& cx, ImportResults& r, LogKind banner, std::string_view procedure,
                Error& message, Run&& run) {
  try {
    Log(cx, banner);
    r.RefusedAt.clear();
    r.RefusedEntry = -1;
    return run();
  } catch (const std::exception& e) {
    // The failure's number too: a host reads ErrorNumber to learn that the
    // call failed (91 when no DataConnection was set).
    const ComError c = AsComError(e);
    r.Error.Set(Error(c.number(), TrapHead::Unexpected, std::string(procedure), c));
    message = r.Error.value();
    return false;
  }
}

}  // namespace

bool ReadLogicPackManifest(const ImportOptions& o, const ImportContext& cx, pack::ManifestOptions& manifest) {
  // An option line of another text leaves the value read before.
  pack::ManifestOptions options = manifest;
  options.applications.clear();
  if (!pack::ReadLogicPackManifest(cx.env(), o.Path, options, o.ListSeparator)) return false;
  manifest = std::move(options);
  return true;
}

void BuildImportPlan(const ImportOptions& o, const ImportContext& cx, const SelectionLists& lists, ImportResults& r) {
  ImportPlan p;
  const size_t count = lists.sources.size();
  p.Entries.assign(count, PlanEntry{});

  PlanSide(cx, lists.sources, p.Entries, &PlanEntry::source);
  PlanSide(cx, lists.targets, p.Entries, &PlanEntry::target);

  Log(cx, LogKind::DevelopmentVrcHeader);
  for (size_t i = 0; i < count; ++i) {
    std::vector<std::string> shown;
    PlanEntry& entry = p.Entries[i];
    if (r.Manifest.revisions) {
      try {
        const std::vector<std::string> vrc = GetDevelopmentVRC(o, cx, r.Manifest, entry.source.profile);
        entry.development_vrc = vrc[0] + "_" + vrc[1] + "_" + vrc[2];
        shown = vrc;
      } catch (const Failure& e) {
        r.Error.Set(e);
      }
    }
    Log(cx, RunLogEvent{.kind = LogKind::DevelopmentVrc, .index = static_cast<int64_t>(i), .fields = shown});
  }
  r.Plan = std::move(p);
}

namespace {

bool ImportSelection(const ImportOptions& o, const ImportContext& cx, ImportResults& r, const ReadSelection& read,
                     Error& message) {
  return RunAsOneUnit(o, cx, r, message, [&](const ImportContext& unit) {
    return RunTrapped(unit, r, LogKind::ImportStarted, "ImportLogicPack", message, [&] {
      if (!PlanFromDetails(o, unit, r, read, message, true)) return false;
      Log(unit, LogKind::LoadingStarted);

      const bool imported = ValidateAndImportEx(o, unit, r);
      if (!imported) message = ImportFailureMessage(r);

      Log(unit, LogKind::ImportEnded);
      return imported;
    });
  });
}

bool CheckSelection(const ImportOptions& o, const ImportContext& cx, ImportResults& r, const ReadSelection& read,
                    Error& message) {
  return RunTrapped(cx, r, LogKind::CheckStarted, "CheckLogicPack", message, [&] {
    if (!PlanFromDetails(o, cx, r, read, message, false)) return false;
    if (!CheckRefusesPack(PlannedPackOf(o, r), cx, r)) return true;
    message = ImportFailureMessage(r);
    return false;
  });
}

}  // namespace

bool ImportLogicPack(const ImportOptions& o, const ImportContext& cx, ImportResults& r, const SelectionLists& lists,
                     Error& message) {
  return ImportSelection(o, cx, r, [&] { return lists; }, message);
}

bool ImportLogicPack(const ImportOptions& o, const ImportContext& cx, ImportResults& r, std::string& strLPDetails,
                     Error& message) {
  return ImportSelection(o, cx, r, [&] { return ParseSelection(strLPDetails); }, message);
}

bool CheckLogicPack(const ImportOptions& o, const ImportContext& cx, ImportResults& r, const SelectionLists& lists,
                    Error& message) {
  return CheckSelection(o, cx, r, [&] { return lists; }, message);
}

bool CheckLogicPack(const ImportOptions& o, const ImportContext& cx, ImportResults& r, std::string& strLPDetails,
                    Error& message) {
  return CheckSelection(o, cx, r, [&] { return ParseSelection(strLPDetails); }, message);
}

}  // namespace kestrel::importer
