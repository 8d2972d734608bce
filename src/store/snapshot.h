// A scoped read of one snapshot of the store: every select between its
// making and its end sees the store as it was at the start, whatever other
// programs commit meanwhile.
//
// Callers guarantee: no transaction is open on the connection when the
// snapshot is made.
#pragma once

#include "store/connection.h"

namespace kestrel::store {

class Snapshot {
 public:
  explicit Snapshot(Connection& c) : c_(c) { c_.BeginSnapshot(); }
  ~Snapshot() {
    try {
      c_.CommitBatch();
    } catch (...) {
      // A read transaction has nothing to lose: the store ends it when the
      // connection closes.
    }
  }
  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;

 private:
  Connection& c_;
};

}  // namespace kestrel::store
