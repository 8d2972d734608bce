// Bulk loading through the connection's own prepared inserts: a backend
// without a faster way of its own implements Connection::BulkLoad with it.
// The data file has one row per CR LF line, fields separated by character 1,
// every column of the table in its order, an empty field NULL.
//
// Callers guarantee: `table` is a plain table name (the backend checks it
// before, with its own "no such table" error).
#pragma once

#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// Loads `data_file` into `table` as Connection::BulkLoad describes it: rows
// bound as text take the column's type as the store converts it; a batch of
// options.rows_per_batch rows is committed at a time (savepoints inside the
// caller's transaction). Its files are reached through `env`.
BulkLoadCounts LoadRowByRow(Env& env, Connection& c, std::string_view table, const std::string& data_file,
                            const BulkLoadOptions& options);

}  // namespace kestrel::store
