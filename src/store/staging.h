// A staging store: a store file of its own into which other programs (the
// batch files' bulk loader) load rows, and from which the rows are then
// copied into the store through its own connection, inside whatever unit that
// connection has open. The store itself is never written by another program.
//
// Callers guarantee: the staging file does not exist yet; nothing else
// writes it while rows are copied out of it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

class Staging {
 public:
  // Creates the file at `path` with each of `tables` that `target` has: the
  // same columns in the same order, without types or keys, so that rows keep
  // the texts they were loaded with until the copy converts them as the
  // target's columns do.
  Staging(Connection& target, const std::string& path, std::span<const std::string_view> tables);

  // Whether `table` was staged (the target has it).
  bool Has(std::string_view table) const;

  // Copies the staged rows of `table` into the target in the order they were
  // loaded, releasing a batch every `rows_per_batch` rows and calling
  // `progress` with the rows copied so far. A row the target refuses raises
  // its error with the number of the row (its line in the loaded file).
  int64_t CopyInto(std::string_view table, int64_t rows_per_batch, const std::function<void(int64_t)>& progress);

  // Closes the staging file; it may be deleted then.
  void Close() { staging_.reset(); }

 private:
  Connection& target_;
  std::shared_ptr<Connection> staging_;
  std::vector<std::string> staged_;
};

}  // namespace kestrel::store
