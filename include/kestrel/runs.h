// The store's own record of the runs that changed its profiles (an import, a
// delete, an undo): when, by whom, from which pack, the profiles added and
// replaced, and an undo copy, the replaced profiles as they were, as one pack
// archive. The record lives in the store's table kestrel_runs, so that it
// goes wherever the store goes (a copy, a server's backup). A store without
// the table has no runs; the first run that is recorded makes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestrel/env.h"
#include "kestrel/export.h"
#include "kestrel/store.h"

namespace kestrel::store {

// The table of the runs.
inline constexpr std::string_view kRunsTable = "kestrel_runs";
// The table of the pieces of the runs' undo copies.
inline constexpr std::string_view kRunPiecesTable = "kestrel_run_pieces";

struct Run {
  // Members of a class type carry "{}", so that a run made with designated
  // initializers names only what it sets.
  int64_t id = 0;
  std::string started{};  // "YYYY-MM-DD HH:MM:SS", local time
  std::string user{};
  std::string pack{};     // the pack imported, or what the run did ("delete profile 30")
  std::vector<int64_t> added{}, replaced{};
  // Applications the run added: the store held none of these codes before.
  std::vector<std::string> added_applications{};
  std::optional<int64_t> undone_by{};
  bool undo_kept = false;  // an undo copy of the replaced profiles is kept (a renumber needs none)
  // A renumber's number before and after: its undo gives the profile its
  // number back rather than a copy.
  std::optional<std::pair<int64_t, int64_t>> renumbered{};
};

// Records a run, in the caller's transaction: `run.id`, `undone_by` and
// `undo_kept` are ignored; `archive_file` holds the undo copy ("": none
// kept), which is kept in pieces of a MiB read one at a time. Makes the
// tables when the store lacks them. Returns the run's id.
KESTREL_API int64_t RecordRun(Connection& c, const Run& run, Env& env, const std::string& archive_file);

// Every run, oldest first; none when the store keeps no runs.
KESTREL_API std::vector<Run> Runs(Connection& c);

// Writes the undo copy of run `id` into the new file `file`, a piece at a
// time; false (and no file) when none was kept.
KESTREL_API bool RunArchive(Connection& c, int64_t id, Env& env, const std::string& file);

// Marks run `id` undone by run `by`; false when it was marked already (or is
// not kept).
KESTREL_API bool MarkRunUndone(Connection& c, int64_t id, int64_t by);

// Drops the runs started before `before` ("YYYY-MM-DD HH:MM:SS") with their
// undo copies; returns how many.
KESTREL_API int64_t PruneRuns(Connection& c, const std::string& before);

}  // namespace kestrel::store
