// Loaded rows added to their table through the store's inserter.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "importer/loaded_records.h"
#include "store/connection.h"

namespace kestrel::importer {

// Adds the columns each row sets; a column a row leaves unset keeps the
// table's default. A column without one is given NULL, so that rows setting
// other columns still go together; a row that leaves out a column with a
// default goes through an inserter without it (the rows before it sent
// first). A column the table lacks raises Ours::FieldNotFound at the first
// row that sets it. Rows left waiting when the adder is dropped go with the
// connection's next statement, or are dropped with a rollback.
class LoadedRowInserter {
 public:
  LoadedRowInserter(store::Connection& c, std::string_view table) : c_(c), table_(table) {}
  void Add(const LoadedRow& row);
  // Sends every row waiting; raises the store's error for a refused one.
  void Flush() {
    if (inserter_) inserter_->Flush();
  }

 private:
  store::Connection& c_;
  std::string table_;
  // Per column of the layout: whether an unset value is given as NULL (the
  // table has the column, without a default); learnt with the first row.
  std::vector<uint8_t> null_when_unset_;
  std::vector<uint8_t> given_;  // which columns of the layout the inserter takes
  std::vector<const Value*> values_;
  std::unique_ptr<store::Inserter> inserter_;
};

}  // namespace kestrel::importer
