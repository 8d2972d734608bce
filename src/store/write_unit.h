// A scoped write unit: the store's write lock and one transaction around
// everything that runs until Commit(). Left without Commit() (a failure, an
// exception, an interruption) it rolls everything back; a process that ends
// without either leaves the store as it was, by the store's own journal.
//
// Callers guarantee: no transaction is open on the connection when the unit
// is made, and batches begun inside it are ended before Commit().
#pragma once

#include "store/connection.h"

namespace kestrel::store {

class WriteUnit {
 public:
  explicit WriteUnit(Connection& c) : c_(c) {}
  ~WriteUnit() { Rollback(); }
  WriteUnit(const WriteUnit&) = delete;
  WriteUnit& operator=(const WriteUnit&) = delete;

  // Waits for the write lock as `options` say; false when it was not had.
  bool Begin(const WriteLockOptions& options) {
    open_ = c_.BeginWriteUnit(options);
    return open_;
  }
  // A commit the store refuses leaves the unit open, for Rollback().
  void Commit() {
    if (!open_) return;
    c_.CommitBatch();
    open_ = false;
  }
  // Undoes everything since Begin(); nothing when the unit is not open.
  void Rollback() noexcept {
    if (!open_) return;
    open_ = false;
    try {
      c_.RollbackBatch();
    } catch (...) {
      // The store undoes an unfinished transaction by itself when the
      // connection closes.
    }
  }
  bool open() const { return open_; }

 private:
  Connection& c_;
  bool open_ = false;
};

}  // namespace kestrel::store
