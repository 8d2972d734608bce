// The bulk loader: fills one table from a data file (one row per CR LF line,
// fields separated by character 1, every column of the table in its order,
// an empty field NULL). It commits every so many rows and stops at the first
// row it cannot load, keeping the batches committed before it. Both ways the
// import loads application data use it: directly through the import's
// connection, and through the `bcp` program that the batch file runs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace Kestrel20ImpExp::store {

// What a store that cannot be written answers.
inline constexpr int32_t kNoBulkRights = 100;
inline constexpr std::string_view kNoBulkRightsText = "Does not have rights to do bulk inserts";

// Whether the connection may write the store: false when the store is open
// read-only (a read-only file) or the connection was made query-only.
bool CanBulkLoad(Connection& c);

struct BulkLoadOptions {
  int64_t rows_per_batch = 1000;
  // The table's log (rows read, rows loaded, batches committed) and error
  // file (the rejected line's number, its text and the reason; empty when no
  // row was rejected). Both are created before the first row is read; an
  // empty path writes no file.
  std::string log_path;
  std::string error_path;
  // Called after every committed batch with the rows loaded so far.
  std::function<void(int64_t rows)> progress;
};

struct BulkLoadCounts {
  int64_t rows_read = 0;    // lines read, a rejected one included
  int64_t rows_loaded = 0;  // rows kept in the store
  int64_t batches = 0;      // batches committed
};

// Loads `data_file` into `table` through `c`. Rows are bound as text and take
// the column's type as the store converts it. A row with another number of
// fields than the table has columns raises Ours::MalformedPackFile, a row the
// store refuses its error (the file and line added to the text); either way
// the batch it belongs to is rolled back, earlier batches stay, and the log
// and error files are written before the error is raised. Inside a
// transaction of the caller, batches are savepoints and commit nothing.
BulkLoadCounts BulkLoad(Connection& c, std::string_view table, const std::string& data_file,
                        const BulkLoadOptions& options);

}  // namespace Kestrel20ImpExp::store
