// Loaded rows through the store's inserter, one inserter per set of columns.
#include "importer/row_inserter.h"

#include <utility>

namespace kestrel::importer {

void LoadedRowInserter::Add(LoadedRow& row) {
  const size_t n = row.columns.size();
  bool same = inserter_ && set_.size() == n;
  for (size_t i = 0; same && i < n; ++i) same = set_[i] == static_cast<uint8_t>(row.columns[i].set);
  if (!same) {
    if (inserter_) inserter_->Flush();
    inserter_.reset();
    set_.assign(n, 0);
    std::vector<std::string_view> columns;
    for (size_t i = 0; i < n; ++i)
      if (row.columns[i].set) {
        set_[i] = 1;
        columns.push_back(row.columns[i].name);
      }
    inserter_ = c_.Insert(table_, columns);
    values_.resize(columns.size());
  }
  // The values change places and back: nothing is copied here.
  size_t k = 0;
  for (auto& column : row.columns)
    if (column.set) std::swap(values_[k++], column.value);
  struct HandBack {
    LoadedRow& row;
    std::vector<Value>& values;
    ~HandBack() {
      size_t k = 0;
      for (auto& column : row.columns)
        if (column.set) std::swap(values[k++], column.value);
    }
  } hand_back{row, values_};
  inserter_->Add(values_);
}

}  // namespace kestrel::importer
