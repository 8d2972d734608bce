// Loaded rows added to their table through the store's inserter.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "importer/loaders.h"
#include "store/connection.h"

namespace kestrel::importer {

// Adds the columns each row sets; a column a row leaves unset keeps the
// table's default, so a row that sets other columns than the row before goes
// through an inserter of those columns (the rows before it sent first). A
// column the table lacks raises Ours::FieldNotFound at the first row that
// sets it. Rows left waiting when the adder is dropped go with the
// connection's next statement, or are dropped with a rollback.
class LoadedRowInserter {
 public:
  LoadedRowInserter(store::Connection& c, std::string_view table) : c_(c), table_(table) {}
  // The row's values are lent to the inserter and handed back.
  void Add(LoadedRow& row);
  // Sends every row waiting; raises the store's error for a refused one.
  void Flush() {
    if (inserter_) inserter_->Flush();
  }

 private:
  store::Connection& c_;
  std::string table_;
  std::vector<uint8_t> set_;  // which columns of the layout the inserter takes
  std::vector<Value> values_;
  std::unique_ptr<store::Inserter> inserter_;
};

}  // namespace kestrel::importer
