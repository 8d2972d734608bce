// Loaded rows through the store's inserter, one inserter per set of columns.
#include "importer/row_inserter.h"

#include "base/text.h"

namespace kestrel::importer {

void LoadedRowInserter::Add(const LoadedRow& row) {
  const size_t n = row.columns.size();
  if (null_when_unset_.size() != n) {
    null_when_unset_.assign(n, 0);
    const auto table = c_.Columns(table_);
    for (size_t i = 0; i < n; ++i)
      for (const auto& c : table)
        if (text::EqualNoCase(c.name, row.columns[i].name)) null_when_unset_[i] = !c.has_default;
  }
  bool same = inserter_ != nullptr;
  for (size_t i = 0; same && i < n; ++i) same = given_[i] == (row.columns[i].set || null_when_unset_[i]);
  if (!same) {
    if (inserter_) inserter_->Flush();
    inserter_.reset();
    given_.assign(n, 0);
    std::vector<std::string_view> columns;
    for (size_t i = 0; i < n; ++i)
      if (row.columns[i].set || null_when_unset_[i]) {
        given_[i] = 1;
        columns.push_back(row.columns[i].name);
      }
    inserter_ = c_.Insert(table_, columns);
    values_.resize(columns.size());
  }
  static const Value kNull;
  size_t k = 0;
  for (size_t i = 0; i < n; ++i)
    if (given_[i]) values_[k++] = row.columns[i].set ? &row.columns[i].value : &kNull;
  inserter_->Add(values_);
}

}  // namespace kestrel::importer
