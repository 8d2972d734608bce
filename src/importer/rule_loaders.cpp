// The rule table loaders: the current rules and the revision history of a
// pack, each file loaded row by row into its table.
#include <string>
#include <vector>

#include "base/error.h"
#include "importer/loaders.h"
#include "importer/records_ahead.h"
#include "importer/row_inserter.h"
#include "store/connection.h"
#include "store/saved_rows.h"

namespace kestrel::importer {
namespace {

// Progress is reported after this many rows of a file, and at its end.
constexpr size_t kReportEvery = 1000;

// Adds every record of one file to its table. Rows are committed in batches;
// when a record fails, the rows before it are committed and the failure raised.
void LoadRuleFile(const PlannedPack& planned, const std::vector<std::string>& header_map, const ImportContext& cx,
                  Loader loader, const pack::TaggedLayout& layout) {
  RecordsAhead records(cx, planned, header_map, loader, layout);
  store::Connection& c = ConnectionOf(cx);
  store::SavedRows saved(c);
  const std::string table(layout.table);
  LoadedRowInserter inserter(c, table);
  LoadedRow row;
  while (records.Next(row)) {
    inserter.Add(row);
    saved.RowSaved();
    if (saved.rows() % kReportEvery == 0) cx.Report(table, static_cast<int64_t>(saved.rows()));
  }
  // The rows still waiting go in before the last batch is committed.
  inserter.Flush();
  saved.Finish();
  cx.Report(table, static_cast<int64_t>(saved.rows()));
  records.Close();
}

template <size_t N>
void LoadRuleFiles(const PlannedPack& planned, const std::vector<std::string>& header_map, const ImportContext& cx,
                   Loader loader, const std::array<const pack::TaggedLayout*, N>& files) {
  UnderTrap(kLoaderUnexpected, TrapHead::Import, TrapProcedureOf(loader), [&] {
    for (const auto* layout : files) LoadRuleFile(planned, header_map, cx, loader, *layout);
  });
}

}  // namespace

void LoadToMAP120_130_140_160(const PlannedPack& planned, const std::vector<std::string>& header_map,
                              const ImportContext& cx) {
  LoadRuleFiles(planned, header_map, cx, Loader::CurrentRules, kCurrentRuleFiles);
}

void LoadToMAP110_125_135_145_165(const PlannedPack& planned, const std::vector<std::string>& header_map,
                                  const ImportContext& cx) {
  LoadRuleFiles(planned, header_map, cx, Loader::RevisionRules, kRevisionRuleFiles);
}

}  // namespace kestrel::importer
