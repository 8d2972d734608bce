// The export context's helpers and the export results' lists.
#include "exporter/export_context.h"

#include "base/error.h"
#include "exporter/export_results.h"
#include "pack/manifest.h"
#include "store/connection.h"

namespace kestrel::exporter {

store::Connection& ExportContext::Connection() const {
  if (!DataConnection) throw ComError(91, "Object variable or With block variable not set");
  return *DataConnection;
}

void ExportContext::CountRows(std::string_view file, int64_t rows) {
  auto counted = RowsWritten.find(file);
  if (counted == RowsWritten.end()) counted = RowsWritten.emplace(std::string(file), 0).first;
  counted->second += rows;
}

void ExportContext::AppendProgress(std::string_view text) {
  ManifestText += pack::manifest::ProgressLineNow(env(), text);
}

void ExportContext::AppendNote(std::string_view text) { ManifestText += pack::manifest::NoteLine(text); }

void ExportResults::ListDataFile(std::string_view name) { DataFileList += pack::manifest::ListLine(name); }

void ExportResults::ListRuleFile(std::string_view name) { RuleFileList += pack::manifest::ListLine(name); }

void ExportResults::ListApplication(std::string_view code) { ApplicationList += pack::manifest::ListLine(code); }

}  // namespace kestrel::exporter
