// The bulk loader every backend shares: it reads the data file (one row per
// CR LF line, fields separated by character 1, every column of the table in
// its order, an empty field NULL), checks each row's width, opens and commits
// the batches, and writes the log and error files. A backend hands it a
// RowSink that puts the rows into the store its own fastest way.
//
// Callers guarantee: `table` is a plain table name (IsPlainTableName; the
// backend refuses any other with its own "no such table" error before).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/connection.h"

namespace kestrel::store {

// Table names come from the command line of `bcp` too: anything but letters,
// digits and "_" is no table of the store.
bool IsPlainTableName(std::string_view table);

// Where a load puts the rows of a batch, in order: Add takes each row (its
// fields stay valid only during the call), Flush ends the batch before it is
// committed. A refusal raises the store's error; when Flush raises it for a
// row Add took earlier, RefusedRow says which (0-based within the batch).
// Abandon drops a batch that will be rolled back.
class RowSink {
 public:
  virtual ~RowSink() = default;
  virtual void Add(const std::vector<std::string_view>& fields) = 0;
  virtual void Flush() {}
  virtual void Abandon() noexcept {}
  virtual std::optional<size_t> RefusedRow() const { return std::nullopt; }
  // Whether each batch costs the store a statement of its own: inside the
  // caller's transaction the loader then tries the whole file as one batch.
  virtual bool BatchesCostStatements() const { return false; }
};

// Loads `data_file` into `table` (of `columns` columns) through `sink`, as
// Connection::BulkLoad describes it: a batch of options.rows_per_batch rows
// is committed at a time (savepoints inside the caller's transaction). Its
// files are reached through `env`.
BulkLoadCounts LoadRows(Env& env, Connection& c, std::string_view table, const std::string& data_file,
                        const BulkLoadOptions& options, size_t columns, RowSink& sink);

// LoadRows through the connection's own prepared insert, row by row: rows
// bound as text take the column's type as the store converts it.
BulkLoadCounts LoadRowByRow(Env& env, Connection& c, std::string_view table, const std::string& data_file,
                            const BulkLoadOptions& options);

}  // namespace kestrel::store
