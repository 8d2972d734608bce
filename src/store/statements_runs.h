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
// The undo copy of one run (NULL when none was kept).
std::string SelectRunArchive(Dialect d, int64_t id);
// Marks run `id` as undone by run `by`, unless it is marked already.
std::string SetRunUndone(Dialect d, int64_t id, int64_t by);
// Drops the runs started before `before` ("YYYY-MM-DD HH:MM:SS").
std::string DeleteRunsBefore(Dialect d, const std::string& before);

}  // namespace kestrel::store
