// Statements of the store's record of the runs that changed it (store/runs.cpp).
#pragma once

#include <cstdint>
#include <string>

#include "store/connection.h"

namespace kestrel::store {

// The table that keeps the runs, made where a store lacks it (a store made
// before runs were kept, or by another program).
std::string CreateRunsTable(Dialect d);
// The number the next run gets: one above the highest kept.
std::string SelectNextRunId(Dialect d);
// Every run, oldest first, without its undo copy.
std::string SelectRuns(Dialect d);
// The pieces of a run's undo copy, kept apart so that neither keeping nor
// reading one holds the whole copy in memory; made with the runs' table.
std::string CreateRunPiecesTable(Dialect d);
// The pieces of the undo copy of one run, in order (none when none was kept).
std::string SelectRunPieces(Dialect d, int64_t id);
// Marks run `id` as undone by run `by`, unless it is marked already.
std::string SetRunUndone(Dialect d, int64_t id, int64_t by);
// Drops the runs started before `before` ("YYYY-MM-DD HH:MM:SS"), and the
// pieces of their undo copies (first).
std::string DeleteRunsBefore(Dialect d, const std::string& before);
std::string DeleteRunPiecesBefore(Dialect d, const std::string& before);

}  // namespace kestrel::store
