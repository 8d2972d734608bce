// Rows that inserters add inside a transaction, held back and sent to the
// server together: one COPY inside one savepoint per group of rows, where
// each row on its own would cost a statement, a savepoint and a round trip.
// A large group's COPY starts before the group is complete and takes its
// rows as they come, so that the server stores them while the caller makes
// the next ones. A group is held as its COPY text alone, a fraction of the
// memory its values took, and the text stays until the group's COPY ends.
// The store must look as if every row had been sent when it was added: the
// session sends the held rows before any other statement runs (so that
// every read sees them), and when the server refuses the group, its
// savepoint is rolled back and the rows, read back from the text, go again
// one by one as single inserts, so that the refused row fails alone with the
// store's own error, the rows before it saved and the ones after it dropped
// (a loader stops at its first refused row).
//
// Callers guarantee: one thread at a time (the session's).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/value.h"

namespace kestrel::store::postgres {

class Session;

class HeldRows {
 public:
  // Holds a row of `table` with values for `columns` (in order; `binary`
  // says which are bytea); rows held before for another table or other
  // columns are sent first. The values are copied: the caller keeps them.
  // `layout`, when not 0, is a number (Session::NewLayout) that stands for
  // this table, these columns and these bytea columns whenever it is given:
  // a row of the layout of the row before is not compared again.
  void Hold(Session& s, std::string_view table, const std::vector<std::string_view>& columns,
            const std::vector<bool>& binary, std::span<const Value* const> values, uint64_t layout = 0);

  bool empty() const { return rows_ == 0 && !copying_; }
  // Sends every held row; raises the store's error for a refused one.
  void Send(Session& s);
  // Forgets every held row and ends the group's COPY unsaved (the
  // transaction they belong to is rolled back).
  void Abandon(Session& s) noexcept;

 private:
  void Drop();
  std::string CopyStatement() const;
  // Starts the group's COPY when it is not open yet and sends it the rows
  // held.
  void Stream(Session& s);
  // After a failure inside the group's savepoint.
  void RollBackGroup(Session& s) noexcept;

  std::string table_;
  std::vector<std::string> columns_;
  std::vector<bool> binary_;
  uint64_t layout_ = 0;         // the layout of the row held last, 0 for none
  size_t rows_ = 0;             // rows in the group
  std::string group_;           // their COPY text, a line each
  size_t streamed_ = 0;         // how much of group_ went to the COPY
  bool copying_ = false;        // the group's COPY is open on the server
  bool starting_ = false;       // the group's COPY is being started
};

// Inserts one row of `table` by itself, as a statement of the caller (under
// the write lock, inside a savepoint when a transaction is open, counted).
void InsertAlone(Session& s, std::string_view table, const std::vector<std::string>& columns,
                 const std::vector<bool>& binary, std::span<const Value* const> row);

}  // namespace kestrel::store::postgres
