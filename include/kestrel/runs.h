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

#include "kestrel/export.h"
#include "kestrel/store.h"

namespace kestrel::store {

// The table of the runs.
inline constexpr std::string_view kRunsTable = "kestrel_runs";

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
// `undo_kept` are ignored; `archive` is the undo copy (nullopt: none kept).
// Makes the table when the store lacks it. Returns the run's id.
KESTREL_API int64_t RecordRun(Connection& c, const Run& run, const std::optional<std::string>& archive);

// Every run, oldest first; none when the store keeps no runs.
KESTREL_API std::vector<Run> Runs(Connection& c);

// The undo copy of run `id`; nullopt when none was kept.
KESTREL_API std::optional<std::string> RunArchive(Connection& c, int64_t id);

// Marks run `id` undone by run `by`; false when it was marked already (or is
// not kept).
KESTREL_API bool MarkRunUndone(Connection& c, int64_t id, int64_t by);

// Drops the runs started before `before` ("YYYY-MM-DD HH:MM:SS") with their
// undo copies; returns how many.
KESTREL_API int64_t PruneRuns(Connection& c, const std::string& before);

}  // namespace kestrel::store
