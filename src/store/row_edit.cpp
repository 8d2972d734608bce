// The row a recordset adds or changes, and its field checks.
#include "store/row_edit.h"

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"

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

void RequireRowsAddable(bool closed, const std::string& table, bool several_tables) {
  if (closed) Raise(Ours::NoCurrentRow);
  if (table.empty())
    Raise(Ours::RowsNotChangeable, std::string(DefaultText(Ours::RowsNotChangeable)) +
                                       (several_tables ? ": the statement reads several tables"
                                                       : ": the statement reads no table"));
}

void RowEdit::Begin(Kind k, size_t fields) {
  kind = k;
  if (values.size() != fields) values.resize(fields);
  put.assign(fields, 0);
  changed.assign(fields, 0);
  dirty = false;
}

void RowEdit::Set(size_t i, const Value& v) {
  values[i] = v;  // a text reuses the storage of the one put before
  put[i] = 1;
  changed[i] = 1;
  dirty = true;
}

const Value* RowEdit::Override(size_t i) const {
  static const Value kNull;
  if (kind == Kind::None) return nullptr;
  if (put[i]) return &values[i];
  return kind == Kind::NewRow ? &kNull : nullptr;
}

void RowEdit::Saved() {
  changed.assign(changed.size(), 0);
  dirty = false;
}

}  // namespace kestrel::store
