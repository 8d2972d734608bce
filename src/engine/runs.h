// The engine's import with a hook of its caller's: what runs inside the
// import's transaction before its first delete (the record of the run, an
// undo's own changes). Internal to the engine.
#pragma once

#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "kestrel/engine.h"
#include "kestrel/pack_archive.h"
#include "kestrel/runs.h"
#include "pack/sums.h"

namespace kestrel::engine {

// The name of the user running the program: the account's login name, else
// what the environment says.
std::string LoginName(Env& env);

// Import as kestrel::Import runs it, calling `before_change` (when set) with
// the report made so far (its targets marked) inside the import's write unit
// after the check's first part and before the first delete, and
// `before_commit` (when set) inside the unit once the import has done its
// work, just before the commit (not on a dry run). What a hook raises fails
// the import, rolled back, as it was raised. `sums` as for ImportPack
// (selection_targets.h).
ImportReport ImportWith(Store& store, const ImportRequest& request, const Context& context,
                        const std::function<void(ImportReport&)>& before_change,
                        const std::shared_ptr<pack::VerifiedSums>& sums = nullptr,
                        const std::function<void(ImportReport&)>& before_commit = nullptr);

// The record of a run whose undo copy is made beside the change it records:
// made inside the change's transaction before its first write, it stamps the
// run and starts exporting the replaced profiles on a connection of its own,
// which reads the store as it is at that moment while the change goes on;
// Record, inside the same transaction after the change, waits for the copy
// and writes the record. Made `Now`, or where no second connection can be
// had (a store given by its connection alone), it copies at once on the
// store's connection. Beside, its connection waits for another program's
// lock at most `wait_seconds`, as the change's own does, and the caller
// guarantees that nothing was written to the store in its transaction before
// the object is made; either way that `store` and `context` outlive it.
class RunRecording {
 public:
  enum class Copy { Now, Beside };
  RunRecording(Store& store, const store::Run& run, const Context& context, Copy copy,
               int wait_seconds = store::kDefaultLockWaitSeconds);
  // Waits for a copy still being made; its result is dropped.
  ~RunRecording();
  RunRecording(const RunRecording&) = delete;
  RunRecording& operator=(const RunRecording&) = delete;

  // Writes the record with its undo copy; the run's id. A failure of the
  // copy is raised here.
  int64_t Record();

 private:
  Store& store_;
  store::Run record_;
  const Context& context_;
  std::optional<PrivateFolder> folder_;
  std::optional<std::string> archive_;  // the copy made already
  std::future<std::optional<std::string>> copying_;
};

}  // namespace kestrel::engine
