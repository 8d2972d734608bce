// What the import's operations work through: the store connection, the
// installation (its registry, folder and run log), the progress callback and
// the Env that is their way to the system.
// The operations read these and act through them but never replace them; the
// caller keeps the connection and the registry alive for the call.
#pragma once

#include "kestrel/import_summary.h"  // NoticeFn
#include "kestrel/progress.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "kestrel/env.h"
#include "kestrel/registry.h"
#include "kestrel/run_log.h"
#include "pack/sums.h"

namespace kestrel {
namespace store { class Connection; }

namespace importer {

class PackCheck;

using ImportProgressFn = kestrel::ProgressFn;
using ImportNoticeFn = kestrel::NoticeFn;

// Where the installation keeps its working files, below its folder.
inline constexpr std::string_view kTempSubfolder = "LumoStudio/tmp";
// Where the installation keeps its programs.
inline constexpr std::string_view kBinSubfolder = "LumoStudio/bin";

struct ImportContext {
  // Every operation reaches files, the clock, the environment and child
  // processes through `env`, which must outlive the context.
  explicit ImportContext(Env& env) : env_(&env) {}

  std::shared_ptr<store::Connection> DataConnection;
  std::shared_ptr<Registry> RegistryComponent;
  std::string InstallationPath;  // found through the registry when the object is created
  std::string ImportLogPath;     // the run log, in the installation's temporary folder
  // Where the import's run-log events go, with ImportLogPath; none: nowhere.
  RunLogFn RunLog;
  ImportProgressFn Progress;
  ImportNoticeFn Notice;
  // The pack folder whose files last matched their sums, so that the
  // details and the import that follows them read a pack's files for their
  // sums once; the context's copies share it.
  std::shared_ptr<pack::VerifiedSums> CheckedSums = std::make_shared<pack::VerifiedSums>();
  // The rows the import loads, as the check before the import counted them
  // while reading the pack: the totals its progress shows. By table for the
  // rule and library files, by data file name (pack::DataFileName with the
  // application loaded) for the application data. The context's copies
  // share them. The check's worker threads store the rule files' counts
  // while the import loads; the entries they store into are made before
  // they start.
  using Totals = std::map<std::string, std::atomic<int64_t>, std::less<>>;
  std::shared_ptr<Totals> StepTotals = std::make_shared<Totals>();
  // The pack check whose reading of the library, rule and function files
  // the loaders share while the import loads them; nullptr when they load
  // unchecked.
  PackCheck* Check = nullptr;
  // Set (from any thread or a signal handler) to stop the running import:
  // it rolls back. nullptr: nothing stops it.
  const std::atomic<bool>* Stop = nullptr;
  // Called inside the import's write unit once the pack has passed what is
  // checked before the first delete, and before that delete: what it writes
  // (a record that would undo the import) commits or rolls back with the
  // import. A failure it raises fails the import.
  std::function<void()> BeforeChange;
  // Runs inside the import's write unit once the import has done its work,
  // just before the commit (not on a dry run): the record of the run is
  // finished there. A failure it raises fails the import, rolled back.
  std::function<void()> BeforeCommit;

  Env& env() const { return *env_; }
  bool StopRequested() const { return Stop && Stop->load(std::memory_order_relaxed); }
  // The installation's temporary folder.
  std::string TempFolder() const;
  // Reports progress, with `total` or else the step's total the check
  // counted; raises Ours::ImportInterrupted once Stop is set, so that the
  // operation stops at its next step.
  void Report(const std::string& what, int64_t done, int64_t total = 0) const;
  // The rows the check counted for `step`; 0 when it counted none.
  int64_t CountedRows(std::string_view step) const;
  void Tell(const std::string& line) const {
    if (Notice) Notice(line);
  }

 private:
  Env* env_;
};

// The connection the caller set; raises 91 "Object variable or With block
// variable not set" when there is none.
store::Connection& ConnectionOf(const ImportContext& cx);

}  // namespace importer
}  // namespace kestrel
