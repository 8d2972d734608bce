// The comparison of one table's rows.
#include "diff/row_compare.h"

#include <algorithm>

namespace kestrel::diff {
namespace {

class TableComparison {
 public:
  TableComparison(std::string_view table, const Scope& scope, const KeyedRows& shape, const Options& options,
                  Result& out)
      : table_(table), scope_(scope), shape_(shape), out_(out), keep_(!options.counts_only) {
    for (size_t i = 0; i < shape.columns.size(); ++i) {
      const std::string_view c = shape.columns[i];
      // The profile number is the scope's; load dates only say when a row was loaded.
      if (c == "mprf" || (c == "ldat" && !options.load_dates)) continue;
      compared_.push_back(i);
    }
  }

  bool Same(const Row& a, const Row& b) const {
    return std::all_of(compared_.begin(), compared_.end(), [&](size_t i) { return a[i] == b[i]; });
  }

  void Key(std::vector<Row> a, std::vector<Row> b, TableCounts& counts) {
    // Equal rows first, so that one removed row among several of a key is
    // reported as removed and not as a chain of changes.
    for (auto ia = a.begin(); ia != a.end();) {
      const auto ib = std::find_if(b.begin(), b.end(), [&](const Row& r) { return Same(*ia, r); });
      if (ib == b.end()) {
        ++ia;
        continue;
      }
      ++counts.same;
      b.erase(ib);
      ia = a.erase(ia);
    }
    const size_t paired = std::min(a.size(), b.size());
    counts.changed += static_cast<int64_t>(paired);
    counts.removed += static_cast<int64_t>(a.size() - paired);
    counts.added += static_cast<int64_t>(b.size() - paired);
    if (!keep_) return;
    for (size_t i = 0; i < paired; ++i) out_.changes.push_back(Made(Change::Kind::Changed, &a[i], &b[i]));
    for (size_t i = paired; i < a.size(); ++i) out_.changes.push_back(Made(Change::Kind::Removed, &a[i], nullptr));
    for (size_t i = paired; i < b.size(); ++i) out_.changes.push_back(Made(Change::Kind::Added, nullptr, &b[i]));
  }

 private:
  // The row on each side it is on (nullptr on the other), every compared field.
  Change Made(Change::Kind kind, const Row* a, const Row* b) const {
    Change c{.kind = kind, .scope = scope_, .table = std::string(table_), .key = {}, .fields = {}};
    const Row& row = a ? *a : *b;
    for (size_t p : shape_.key_positions)
      if (shape_.columns[p] != "mprf") c.key.emplace_back(shape_.columns[p], row[p].value_or(std::string()));
    c.fields.reserve(compared_.size());
    for (size_t col : compared_)
      c.fields.push_back({std::string(shape_.columns[col]), a ? (*a)[col] : Bytes(), b ? (*b)[col] : Bytes()});
    return c;
  }

  std::string_view table_;
  const Scope& scope_;
  const KeyedRows& shape_;
  Result& out_;
  bool keep_;
  std::vector<size_t> compared_;
};

}  // namespace

void CompareRows(std::string_view table, const Scope& scope, const KeyedRows& a, const KeyedRows& b,
                 const Options& options, Result& out) {
  if (a.count == 0 && b.count == 0) return;
  if (a.counted_only || b.counted_only) {
    // Read against a side that lacks the scope: every row is added or removed.
    out.counts[scope][std::string(table)] = TableCounts{.added = b.count, .removed = a.count, .changed = 0, .same = 0};
    return;
  }
  // A side that lacks the profile or the file has no columns: the other side's tell them.
  TableComparison compare(table, scope, a.columns.empty() ? b : a, options, out);
  TableCounts counts;
  auto ia = a.rows.begin(), ib = b.rows.begin();
  while (ia != a.rows.end() || ib != b.rows.end()) {
    if (ib == b.rows.end() || (ia != a.rows.end() && ia->first < ib->first)) {
      compare.Key(ia->second, {}, counts);
      ++ia;
    } else if (ia == a.rows.end() || ib->first < ia->first) {
      compare.Key({}, ib->second, counts);
      ++ib;
    } else {
      compare.Key(ia->second, ib->second, counts);
      ++ia;
      ++ib;
    }
  }
  out.counts[scope][std::string(table)] = counts;
}

}  // namespace kestrel::diff
