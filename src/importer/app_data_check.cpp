// The application data files read before an import as the bulk loader will
// read them, against the store's tables and unique keys.
#include "importer/app_data_check.h"

#include <algorithm>

#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "importer/app_import.h"
#include "importer/pack_file_refusals.h"
#include "importer/plan_lookups.h"
#include "pack/naming.h"
#include "pack/text_checks.h"

namespace kestrel::importer {

std::vector<ApplicationFile> ApplicationFiles(const PlannedPack& planned, const ImportContext& cx,
                                              StoreTables& tables) {
  const ImportPlan& plan = planned.plan;
  std::vector<ApplicationFile> files;
  std::vector<std::string> seen;
  for (const PlanEntry& entry : plan.Entries)
    for (size_t j = 0; j < 2; ++j) {
      const std::string& in_pack = entry.source.Application(j);
      const std::string& chosen = entry.target.Application(j);
      if (std::find(seen.begin(), seen.end(), chosen) != seen.end()) continue;
      seen.push_back(chosen);
      for (PackDataFile& found :
           ListedApplicationDataFiles(cx.env(), planned.options.Path, planned.manifest.files, in_pack)) {
        const std::string_view table = found.table;
        ApplicationFile& file = files.emplace_back();
        file.table = table;
        file.path = std::move(found.path);
        file.in_pack = in_pack;
        file.chosen = chosen;
        file.total = &(*cx.StepTotals)[pack::DataFileName(table, chosen)];
        try {
          file.columns = tables.Columns(table);
          tables.RequireSchemaColumns(table);
        } catch (const std::exception& ex) {
          file.refused = AsComError(ex);
        }
      }
    }
  return files;
}

bool CheckApplicationData(Env& env, const std::vector<ApplicationFile>& files, KeyCollisions& collisions,
                          const std::atomic<bool>& stop, ErrorState& error, std::string& place) {
  std::string recoded;
  std::vector<std::string_view> fields;
  for (const ApplicationFile& file : files) {
    size_t line = 0;
    try {
      if (file.refused) throw *file.refused;
      // The bulk loader stops at the first row of another width.
      auto rows = files::RowReader::Open(env, file.path, file.columns.size());
      const bool recode = file.in_pack != file.chosen && TableIsRecoded(file.table);
      int64_t counted = 0;
      while (rows->Next()) {
        if (stop.load(std::memory_order_relaxed)) return true;
        ++counted;
        line = rows->line_number() - 1;
        if (line == 0) pack::RefuseByteOrderMark(rows->line(), file.path);
        RefuseNul(rows->line(), "the row");
        // Every table but the shared codes' begins with the application;
        // a row of another one would be stored under it.
        if (TableIsRecoded(file.table) && rows->fields().front() != file.in_pack)
          RaiseWithDetail(Ours::ApplicationMismatch,
                          "the row's application " + QuoteForMessage(rows->fields().front()) + " in " +
                              Place(file.path, rows->line_number()) + ", a file of " + QuoteForMessage(file.in_pack));
        if (recode) {
          RecodeApplicationInLine(rows->line(), file.in_pack, file.chosen, recoded);
          files::SplitRow(recoded, fields);
        } else {
          fields.assign(rows->fields().begin(), rows->fields().end());
        }
        collisions.Add(file.table, file.columns, fields);
        line = rows->line_number();
      }
      file.total->store(counted);
    } catch (const std::exception& ex) {
      const ComError e = AsComError(ex);
      error.Set(e.number(), e.description());
      place = Place(file.path, line + 1);
      return false;
    }
  }
  return true;
}

bool CheckAsksStore(const std::vector<ApplicationFile>& files, KeyCollisions& collisions) {
  for (const ApplicationFile& file : files) {
    if (file.refused) continue;
    try {
      if (collisions.AsksStore(file.table, file.columns, TableIsRecoded(file.table))) return true;
    } catch (const std::exception&) {
      return true;
    }
  }
  return false;
}

}  // namespace kestrel::importer
