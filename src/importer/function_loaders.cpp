// The function loaders: the function library of the pack's profiles, whose
// functions are updated in place or added, and the shared function
// definitions, of which only new ones are added.
#include <string>

#include "base/error.h"
#include "base/errors_ours.h"
#include "importer/entry_points.h"
#include "importer/loaders.h"
#include "importer/records_ahead.h"
#include "importer/row_inserter.h"
#include "store/connection.h"
#include "store/saved_rows.h"
#include "store/statements_import_loaders.h"

namespace kestrel::importer {
namespace {

bool Empty(const store::Recordset& rs) { return rs.BOF() && rs.IsEOF(); }

// The columns a library function is looked up by; a found row keeps them.
bool IsKey(std::string_view column, bool revisions) {
  return column == "mprf" || column == "vers" || column == "rele" || column == "cust" || column == "fnam" ||
         (revisions && column == "revi");
}

const Value& Column(const LoadedRow& row, std::string_view column) {
  const Value* v = row.Find(column);
  if (!v) Raise(Ours::Internal, "A library record without " + std::string(column));
  return *v;
}

// Loads one library file: each function is looked up by its key (the
// renumbered profile, its VRC, the name and, for revisions, the revision) and
// the row found is changed, or a new one added.
void LoadLibraryFile(const PlannedPack& planned, const std::vector<std::string>& header_map, const ImportContext& cx,
                     const pack::TaggedLayout& layout) {
  const bool revisions = &layout == &pack::kQzlib105;
  RecordsAhead records(cx, planned, header_map, Loader::Library, layout);
  store::Connection& c = ConnectionOf(cx);
  store::SavedRows saved(c);
  const std::string table(layout.table);
  LoadedRowInserter inserter(c, table);
  store::ColumnValues key, set;
  LoadedRow row;
  while (records.Next(row)) {
    const int64_t mprf = Column(row, "mprf").Integer();
    const std::string vers = Column(row, "vers").Text(), rele = Column(row, "rele").Text(),
                      cust = Column(row, "cust").Text(), fnam = Column(row, "fnam").Text();
    const int64_t revi = revisions ? Column(row, "revi").Integer() : 0;
    const std::string query = revisions ? store::SelectLibraryRevision(c.dialect(), mprf, vers, rele, cust, fnam, revi)
                                        : store::SelectLibraryFunction(c.dialect(), mprf, vers, rele, cust, fnam);
    if (Empty(*c.OpenRecordset(query))) {
      inserter.Add(row);
    } else {
      // The found function keeps its key and takes every other column the
      // record sets.
      key.columns = {"mprf", "vers", "rele", "cust", "fnam"};
      key.values = {Value(mprf), Value(vers), Value(rele), Value(cust), Value(fnam)};
      if (revisions) {
        key.columns.push_back("revi");
        key.values.emplace_back(revi);
      }
      set.columns.clear();
      set.values.clear();
      for (const auto& column : row.columns)
        if (column.set && !IsKey(column.name, revisions)) {
          set.columns.push_back(column.name);
          set.values.push_back(column.value);
        }
      c.UpdateByKey(table, key, set);
    }
    saved.RowSaved();
  }
  inserter.Flush();
  saved.Finish();
  cx.Report(table, static_cast<int64_t>(saved.rows()));
  records.Close();
}

}  // namespace

void LoadLibraryFiles(const PlannedPack& planned, const std::vector<std::string>& header_map,
                      const ImportContext& cx) {
  LoadLibraryFile(planned, header_map, cx, pack::kQzlib100);
  if (planned.manifest.revisions) LoadLibraryFile(planned, header_map, cx, pack::kQzlib105);
}

void LoadToMAP150(const PlannedPack& planned, const std::vector<std::string>& header_map, const ImportContext& cx) {
  UnderTrap(kLoaderUnexpected, TrapHead::Import, TrapProcedureOf(Loader::SharedFunctions), [&] {
    RecordsAhead records(cx, planned, header_map, Loader::SharedFunctions, pack::kQzmap150);
    store::Connection& c = ConnectionOf(cx);
    store::SavedRows saved(c);
    LoadedRowInserter inserter(c, "qzmap150");
    LoadedRow row;
    // The records gone through, the stored functions passed over among them:
    // the progress counts against the records the check counted.
    int64_t done = 0;
    while (records.Next(row)) {
      ++done;
      // A function already stored keeps its definition and help.
      if (!Empty(*c.OpenRecordset(store::SelectSharedFunction(c.dialect(), Column(row, "func").Text())))) continue;
      inserter.Add(row);
      saved.RowSaved();
    }
    inserter.Flush();
    saved.Finish();
    cx.Report("qzmap150", done);
    records.Close();
  });
}

}  // namespace kestrel::importer
