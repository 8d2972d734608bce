// What the import's operations reach through their context: the temporary
// folder below the installation and the connection the host set.
#include "component/import_context.h"

#include "component/error.h"
#include "component/errors_ours.h"
#include "component/files.h"
#include "component/interruption.h"
#include "store/connection.h"

namespace Kestrel20ImpExp::detail {

std::string ImportContext::TempFolder() const { return files::Join(InstallationPath, kTempSubfolder); }

void ImportContext::Report(const std::string& what, int64_t done) const {
  if (InterruptionRequested()) Raise(Ours::ImportInterrupted);
  if (Progress) Progress(what, done);
}

store::Connection& ConnectionOf(const ImportContext& cx) {
  if (!cx.DataConnection) RaiseRuntime(rt::ObjectNotSet);
  return *cx.DataConnection;
}

}  // namespace Kestrel20ImpExp::detail
