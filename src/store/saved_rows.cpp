// Rows saved one at a time, committed in batches.
#include "store/saved_rows.h"

namespace kestrel::store {

SavedRows::SavedRows(Connection& c, size_t rows_per_batch) : c_(c), per_batch_(rows_per_batch ? rows_per_batch : 1) {
  c_.BeginBatch();
  open_ = true;
}

SavedRows::~SavedRows() {
  if (!open_) return;
  open_ = false;
  try {
    c_.CommitBatch();
  } catch (...) {
    // The statement that failed may have ended the transaction already;
    // nothing is left to commit then.
  }
}

void SavedRows::RowSaved() {
  ++rows_;
  if (++in_batch_ < per_batch_) return;
  in_batch_ = 0;
  open_ = false;
  c_.CommitBatch();
  c_.BeginBatch();
  open_ = true;
}

void SavedRows::Finish() {
  if (!open_) return;
  open_ = false;
  c_.CommitBatch();
}

}  // namespace kestrel::store
