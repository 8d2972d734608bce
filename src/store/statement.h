// A prepared statement of a store connection (Connection::Prepare): bound
// values, stepped rows, run to the end. Returned to its connection's cache,
// reset and with its bindings cleared, when destroyed.
//
// Callers guarantee: parameters are 1-based and within the statement's count;
// a value bound "kept" stays unchanged until the statement is reset, run
// again or destroyed.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/value.h"

namespace kestrel::store {

class Statement {
 public:
  virtual ~Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Binds the same values as a write takes (store/row_writes.h): NULL, integers, doubles
  // and texts (bound as text unless `as_blob`). The value is copied.
  virtual void Bind(int index, const Value& v, bool as_blob = false) = 0;
  // Binds a value without copying its text.
  virtual void BindKept(int index, const Value& v) = 0;
  // Binds bytes as text without copying them; an empty view binds NULL.
  virtual void BindTextKept(int index, std::string_view text) = 0;
  // Steps once: true when a row is ready, false when the statement is done.
  // A failure resets the statement and raises the store's error.
  virtual bool Step() = 0;
  // Steps to the end, resets (bindings stay), and returns the number of rows
  // changed (0 for a statement that only reads).
  virtual int64_t Run() = 0;
  // Resets and clears the bindings.
  virtual void Reset() = 0;

  // The columns of the statement's result, and a column of the row that
  // Step made ready.
  virtual int ColumnCount() const = 0;
  virtual Value Column(int index) const = 0;

 protected:
  Statement() = default;
};

}  // namespace kestrel::store
