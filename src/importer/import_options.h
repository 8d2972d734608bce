// What the host sets on a clsImport before it calls an operation: where the
// pack lies, the store the batch path's lines name, the user the loaders
// write as the last modifier, and the separators of the pack's files.
// The operations only read these; a caller fills them in before a call and
// leaves them alone while it runs.
#pragma once

#include <string>

#include "kestrel/store.h"

namespace kestrel::importer {

struct ImportOptions {
  std::string Path;  // the pack folder
  std::string DatabaseServer, DatabaseUser, DatabasePassword, DatabaseName;
  std::string LastModifiedUser;
  std::string FieldSeparator = std::string(1, '\x01');  // between the fields of a data line
  std::string ListSeparator = "|";                      // between the manifest's applications
  // How long an import waits for the store's write lock held by another program.
  int LockWaitSeconds = store::kDefaultLockWaitSeconds;
  // Runs the whole import and then rolls it back, leaving its summary.
  bool DryRun = false;
  // Keeps the import's working folder (the copies of the application data)
  // after the import; else it is removed whatever the outcome.
  bool KeepWork = false;
  // Takes a pack without ExportMR.sums (one an older export wrote), whose
  // files cannot be checked for changes; else such a pack is refused.
  bool AllowPackWithoutSums = false;
};

}  // namespace kestrel::importer
