// Rows saved one at a time, committed in batches. The loaders save row after
// row; committing each one by itself is slow, so rows are grouped into
// batches, yet the store must end up as if every row had committed on its own:
// when the work stops early (a failure, a return), the rows saved so far are
// committed, never rolled back. Batches are the connection's, so inside a
// caller's own transaction they are savepoints and nothing is committed here.
#pragma once

#include <cstddef>

#include "store/connection.h"

namespace kestrel::store {

class SavedRows {
 public:
  // Rows per batch: large enough that commits cost little, small enough that
  // a long load does not hold one huge transaction.
  static constexpr size_t kRowsPerBatch = 5000;

  explicit SavedRows(Connection& c, size_t rows_per_batch = kRowsPerBatch);
  // Commits what was saved since the last commit. A failure to commit is
  // swallowed here: the failure that ended the work is the one to report.
  ~SavedRows();
  SavedRows(const SavedRows&) = delete;
  SavedRows& operator=(const SavedRows&) = delete;

  // Counts one saved row; commits the batch when it is full.
  void RowSaved();
  // Commits the open batch; raises when the commit fails.
  void Finish();

  size_t rows() const { return rows_; }

 private:
  Connection& c_;
  size_t per_batch_;
  size_t in_batch_ = 0;
  size_t rows_ = 0;
  bool open_ = false;
};

}  // namespace kestrel::store
