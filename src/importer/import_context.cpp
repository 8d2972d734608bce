// What the import's operations reach through their context: the temporary
// folder below the installation and the connection the host set.
#include "importer/import_context.h"

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "store/connection.h"

namespace kestrel::importer {

std::string ImportContext::TempFolder() const { return files::Join(InstallationPath, kTempSubfolder); }

void ImportContext::Report(const std::string& what, int64_t done, int64_t total) const {
  if (StopRequested()) Raise(Ours::ImportInterrupted);
  if (!Progress) return;
  Progress(what, done, total == 0 ? CountedRows(what) : total);
}

int64_t ImportContext::CountedRows(std::string_view step) const {
  const auto counted = StepTotals->find(step);
  return counted == StepTotals->end() ? 0 : counted->second.load(std::memory_order_relaxed);
}

store::Connection& ConnectionOf(const ImportContext& cx) {
  if (!cx.DataConnection) RaiseRuntime(rt::ObjectNotSet);
  return *cx.DataConnection;
}

}  // namespace kestrel::importer
