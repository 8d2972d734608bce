// The check of a logic pack before an import deletes anything: every file the
// import will load is read and converted by the loaders' own procedures (the
// application data files by the row reader, at their tables' widths), without
// a row being written, so that a pack that would fail half-way is refused
// while the store still holds what it held.
#include <algorithm>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "importer/app_import.h"
#include "importer/loaders.h"
#include "importer/plan_lookups.h"
#include "importer/run_log.h"
#include "importer/transaction.h"
#include "pack/naming.h"
#include "store/connection.h"
#include "store/statements_import_loaders.h"

namespace kestrel::importer {
namespace {

std::string Place(const std::string& path, size_t line) {
  return line ? path + ", line " + std::to_string(line) : path;
}

// Reads every record of the loader's files; on a failure sets the error state
// as the loader (or its caller's trap) would and names the file and record.
template <size_t N>
bool CheckFiles(const PlannedPack& planned, const ImportContext& cx, const std::vector<std::string>& header_map,
                ErrorState& error, std::string_view procedure, Loader loader,
                const std::array<const pack::TaggedLayout*, N>& layouts, std::string& place) {
  for (const pack::TaggedLayout* layout : layouts) {
    const std::string path = files::PathInFolder(cx.env(), planned.options.Path, layout->file);
    std::unique_ptr<LoadedRecords> records;
    try {
      records = std::make_unique<LoadedRecords>(cx.env(), planned, header_map, loader, *layout);
      LoadedRow row;
      while (records->Next(row)) {
      }
      records->Close();
    } catch (const std::exception& ex) {
      place = Place(path, records ? records->record_line() : 0);
      error.Trap(kLoaderUnexpected, ImportTrapHead(procedure), AsComError(ex));
      return false;
    }
  }
  return true;
}

// Reads the data files of every application the plan names, as the pack
// holds them, with the width of their tables in the store: the bulk loader
// stops at the first row of another width.
bool CheckApplicationData(const PlannedPack& planned, const ImportContext& cx, ErrorState& error,
                          std::string& place) {
  store::Connection& c = ConnectionOf(cx);
  std::vector<std::string> seen;
  for (const auto& row : {planned.plan.SourceApplications[0], planned.plan.SourceApplications[1]})
    for (const std::string& application : row) {
      if (std::find(seen.begin(), seen.end(), application) != seen.end()) continue;
      seen.push_back(application);
      for (std::string_view table : ApplicationDataTables()) {
        const auto path =
            files::ResolveInFolder(cx.env(), planned.options.Path, pack::DataFileName(table, application));
        if (!path) continue;
        const auto width =
            static_cast<size_t>(c.OpenRecordset(store::SelectNoRows(c.dialect(), table))->FieldCount());
        size_t line = 0;
        try {
          auto rows = files::RowReader::Open(cx.env(), *path, width);
          while (rows->Next()) line = rows->line_number();
        } catch (const std::exception& ex) {
          const ComError e = AsComError(ex);
          error.Set(e.number(), e.description());
          place = Place(*path, line + 1);
          return false;
        }
      }
    }
  return true;
}

// Runs `check`; a failure it raises goes into the error state as it stands
// and names `where` as the place. False when the check failed either way.
template <class Check>
bool CheckNamingPlace(ErrorState& error, std::string& place, std::string_view where, Check&& check) {
  try {
    return check();
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    error.Set(e.number(), e.description());
    place = std::string(where);
    return false;
  }
}

}  // namespace

bool CheckLogicPackFiles(const PlannedPack& planned, const ImportContext& cx, ErrorState& error, std::string& place) {
  WriteImportLog(cx, kCheckStarted);
  place.clear();

  // The values the batch path writes into its lines.
  if (!CheckNamingPlace(error, place, "the bulk-load lines of the application data", [&] {
        if (UsesBatchPath(cx)) CheckBatchLineValues(planned.options, cx, planned.plan);
        return true;
      }))
    return false;
  if (!CheckNamingPlace(error, place, "the application data files",
                        [&] { return CheckApplicationData(planned, cx, error, place); }))
    return false;

  // The header file, walked as the import walks it, gives the map the
  // loaders convert with.
  const std::string header_path = files::PathInFolder(cx.env(), planned.options.Path, "Qzmap100.dat");
  std::vector<std::string> map, adjust;
  size_t line = 0;
  try {
    if (!WalkHeaderFile(planned, cx, error, HeaderWalk::Check, map, adjust, line)) {
      place = Place(header_path, line);
      return false;
    }
  } catch (const std::exception& ex) {
    place = Place(header_path, line);
    error.Trap(kTransactionUnexpected, kValidateAndImportHead, AsComError(ex));
    return false;
  }
  std::reverse(map.begin(), map.end());

  // The loaders in the order the import runs them. The library loader has no
  // trap: its failures end in the profile import's.
  const std::array<const pack::TaggedLayout*, 1> library = {&pack::kQzlib100};
  const std::array<const pack::TaggedLayout*, 1> library_revisions = {&pack::kQzlib105};
  const std::array<const pack::TaggedLayout*, 1> shared = {&pack::kQzmap150};
  const bool revisions = planned.manifest.revisions;
  bool ok =
      CheckFiles(planned, cx, map, error, "ImportProfileEx", Loader::Library, library, place) &&
      (!revisions || CheckFiles(planned, cx, map, error, "ImportProfileEx", Loader::Library, library_revisions, place)) &&
      CheckFiles(planned, cx, map, error, "LoadToMAP120_130_140_160", Loader::CurrentRules, kCurrentRuleFiles, place) &&
      CheckFiles(planned, cx, map, error, "LoadToMAP150", Loader::SharedFunctions, shared, place) &&
      (!revisions || CheckFiles(planned, cx, map, error, "LoadToMAP110_125_135_145_165", Loader::RevisionRules,
                                kRevisionRuleFiles, place));
  if (ok) WriteImportLog(cx, kCheckDone);
  return ok;
}

}  // namespace kestrel::importer
