// The check of a logic pack before an import deletes anything: every file the
// import will load is read and converted by the loaders' own procedures (the
// application data files by the row reader, at their tables' widths), without
// a row being written, so that a pack that would fail half-way is refused
// while the store still holds what it held.
#include <algorithm>
#include <string>
#include <vector>

#include "component/error.h"
#include "component/errors_ours.h"
#include "component/files.h"
#include "component/row_reader.h"
#include "import/app_import.h"
#include "import/loaders.h"
#include "import/plan_lookups.h"
#include "import/run_log.h"
#include "import/transaction.h"
#include "pack/naming.h"
#include "store/connection.h"
#include "store/statements_import_loaders.h"

namespace Kestrel20ImpExp::detail {
namespace {

std::string Place(const std::string& path, size_t line) {
  return line ? path + ", line " + std::to_string(line) : path;
}

// Reads every record of the loader's files; on a failure sets the error state
// as the loader (or its caller's trap) would and names the file and record.
template <size_t N>
bool CheckFiles(ImportState& s, std::string_view procedure, Loader loader,
                const std::array<const pack::TaggedLayout*, N>& layouts, std::string& place) {
  for (const pack::TaggedLayout* layout : layouts) {
    const std::string path = files::PathInFolder(s.Path, layout->file);
    std::unique_ptr<LoadedRecords> records;
    try {
      records = std::make_unique<LoadedRecords>(s, loader, *layout);
      LoadedRow row;
      while (records->Next(row)) {
      }
      records->Close();
    } catch (const std::exception& ex) {
      place = Place(path, records ? records->record_line() : 0);
      s.Error.Trap(kLoaderUnexpected, ImportTrapHead(procedure), AsComError(ex));
      return false;
    }
  }
  return true;
}

// Reads the data files of every application the plan names, as the pack
// holds them, with the width of their tables in the store: the bulk loader
// stops at the first row of another width.
bool CheckApplicationData(ImportState& s, std::string& place) {
  store::Connection& c = ConnectionOf(s);
  std::vector<std::string> seen;
  for (const auto& row : {s.Plan.SourceApplications[0], s.Plan.SourceApplications[1]})
    for (const std::string& application : row) {
      if (std::find(seen.begin(), seen.end(), application) != seen.end()) continue;
      seen.push_back(application);
      for (std::string_view table : ApplicationDataTables()) {
        const auto path = files::ResolveInFolder(s.Path, pack::DataFileName(table, application));
        if (!path) continue;
        const auto width =
            static_cast<size_t>(c.OpenRecordset(store::SelectNoRows(c.dialect(), table))->FieldCount());
        size_t line = 0;
        try {
          auto rows = files::RowReader::Open(*path, width);
          while (rows->Next()) line = rows->line_number();
        } catch (const std::exception& ex) {
          const ComError e = AsComError(ex);
          s.Error.Set(e.number(), e.description());
          place = Place(*path, line + 1);
          return false;
        }
      }
    }
  return true;
}

// Restores the header map when the check leaves, however it leaves.
class KeepHeaderMap {
 public:
  explicit KeepHeaderMap(ImportState& s) : s_(s), map_(s.HeaderMap) {}
  ~KeepHeaderMap() { SetHeaderMap(s_, std::move(map_)); }
  KeepHeaderMap(const KeepHeaderMap&) = delete;
  KeepHeaderMap& operator=(const KeepHeaderMap&) = delete;

 private:
  ImportState& s_;
  std::vector<std::string> map_;
};

}  // namespace

bool CheckLogicPackFiles(ImportState& s, std::string& place) {
  WriteImportLog(s, kCheckStarted);
  place.clear();
  KeepHeaderMap keep(s);

  // The values the batch path writes into its lines.
  try {
    if (UsesBatchPath(s)) CheckBatchLineValues(s);
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    s.Error.Set(e.number(), e.description());
    place = "the bulk-load lines of the application data";
    return false;
  }

  try {
    if (!CheckApplicationData(s, place)) return false;
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    s.Error.Set(e.number(), e.description());
    place = "the application data files";
    return false;
  }

  // The header file, walked as the import walks it, gives the map the
  // loaders convert with.
  const std::string header_path = files::PathInFolder(s.Path, "Qzmap100.dat");
  std::vector<std::string> map, adjust;
  size_t line = 0;
  try {
    if (!WalkHeaderFile(s, HeaderWalk::Check, map, adjust, line)) {
      place = Place(header_path, line);
      return false;
    }
  } catch (const std::exception& ex) {
    place = Place(header_path, line);
    s.Error.Trap(kTransactionUnexpected, kValidateAndImportHead, AsComError(ex));
    return false;
  }
  std::reverse(map.begin(), map.end());
  SetHeaderMap(s, std::move(map));

  // The loaders in the order the import runs them. The library loader has no
  // trap: its failures end in the profile import's.
  const std::array<const pack::TaggedLayout*, 1> library = {&pack::kQzlib100};
  const std::array<const pack::TaggedLayout*, 1> library_revisions = {&pack::kQzlib105};
  const std::array<const pack::TaggedLayout*, 1> shared = {&pack::kQzmap150};
  bool ok = CheckFiles(s, "ImportProfileEx", Loader::Library, library, place) &&
            (!s.ManifestRevisions ||
             CheckFiles(s, "ImportProfileEx", Loader::Library, library_revisions, place)) &&
            CheckFiles(s, "LoadToMAP120_130_140_160", Loader::CurrentRules, kCurrentRuleFiles, place) &&
            CheckFiles(s, "LoadToMAP150", Loader::SharedFunctions, shared, place) &&
            (!s.ManifestRevisions ||
             CheckFiles(s, "LoadToMAP110_125_135_145_165", Loader::RevisionRules, kRevisionRuleFiles, place));
  if (ok) WriteImportLog(s, kCheckDone);
  return ok;
}

}  // namespace Kestrel20ImpExp::detail
