// The field checks of recordsets and what every backend's writes share.
#include "store/row_writes.h"

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"
#include "store/connection.h"
#include "store/statements_store.h"

namespace kestrel::store {

size_t FieldPosition(const std::vector<std::string>& names, int index) {
  if (index < 0 || static_cast<size_t>(index) >= names.size())
    Raise(Ours::FieldNotFound, fmt::format("{}: {}", DefaultText(Ours::FieldNotFound), index));
  return static_cast<size_t>(index);
}

int FieldIndexOf(const std::vector<std::string>& names, std::string_view name) {
  for (size_t i = 0; i < names.size(); ++i)
    if (text::EqualNoCase(names[i], name)) return static_cast<int>(i);
  Raise(Ours::FieldNotFound, fmt::format("{}: {}", DefaultText(Ours::FieldNotFound), name));
}

void Inserter::Add(std::span<const Value> row) {
  std::vector<const Value*> values;
  values.reserve(row.size());
  for (const Value& v : row) values.push_back(&v);
  Add(std::span<const Value* const>(values));
}

const Value& ValueFor(const TableColumn& column, std::string_view table, const Value& v, Value& scratch) {
  if (const std::string* text = v.AsText()) {
    // SQLite would keep the byte and PostgreSQL refuse it: neither gets it.
    if (!column.binary && text->find('\0') != std::string::npos)
      RaiseWithDetail(Ours::NulInValue, fmt::format("{}.{}", table, column.name));
    return v;
  }
  if (const double* d = v.AsDouble(); d && column.textual) {
    scratch = Value(FormatDouble(*d));
    return scratch;
  }
  return v;
}

std::vector<TableColumn> ColumnsNamed(const std::vector<TableColumn>& columns, std::string_view table,
                                      std::span<const std::string_view> names) {
  std::vector<TableColumn> named;
  named.reserve(names.size());
  for (std::string_view name : names) {
    const TableColumn* found = nullptr;
    for (const auto& c : columns)
      if (text::EqualNoCase(c.name, name)) found = &c;
    if (!found)
      RaiseWithDetail(Ours::FieldNotFound, fmt::format("the store's table {} has no column {}", table, name));
    named.push_back(*found);
    named.back().name = std::string(name);
  }
  return named;
}

namespace {

void RequirePaired(const ColumnValues& pairs, std::string_view table) {
  if (pairs.columns.size() != pairs.values.size())
    Raise(Ours::Internal, fmt::format("{} columns and {} values for a write to {}", pairs.columns.size(),
                                      pairs.values.size(), table));
}

// Binds the values of `pairs` from parameter `p` on, each as its column takes it.
void BindPairs(Statement& st, int& p, const std::vector<TableColumn>& columns, std::string_view table,
               const ColumnValues& pairs) {
  Value scratch;
  for (size_t i = 0; i < columns.size(); ++i) {
    const Value& v = ValueFor(columns[i], table, pairs.values[i], scratch);
    st.Bind(p++, v, columns[i].binary && v.IsText());
  }
}

// The keyed statement of `table`, prepared and its values bound: `set`'s
// first (when given), then the key's.
std::unique_ptr<Statement> PrepareKeyed(Connection& c, std::string_view table, const ColumnValues& key,
                                        const ColumnValues* set) {
  RequirePaired(key, table);
  if (key.columns.empty()) Raise(Ours::Internal, fmt::format("A keyed write to {} without a key", table));
  const auto all = c.Columns(table);
  const auto keys = ColumnsNamed(all, table, key.columns);
  std::vector<TableColumn> sets;
  if (set) {
    RequirePaired(*set, table);
    sets = ColumnsNamed(all, table, set->columns);
  }
  auto st = c.Prepare(set ? UpdateRowsByKey(c.dialect(), table, set->columns, key.columns)
                          : DeleteRowsByKey(c.dialect(), table, key.columns));
  int p = 1;
  if (set) BindPairs(*st, p, sets, table, *set);
  BindPairs(*st, p, keys, table, key);
  return st;
}

}  // namespace

int64_t Connection::UpdateByKey(std::string_view table, const ColumnValues& key, const ColumnValues& set) {
  if (set.columns.empty() && set.values.empty()) return 0;
  return PrepareKeyed(*this, table, key, &set)->Run();
}

int64_t Connection::DeleteByKey(std::string_view table, const ColumnValues& key) {
  return PrepareKeyed(*this, table, key, nullptr)->Run();
}

}  // namespace kestrel::store
