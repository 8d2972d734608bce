// What every backend's recordset keeps while a row is added or a found row
// changed, and the checks it makes on field positions and names: the values
// put so far, which of them are not saved yet, and what a read of a field
// gives meanwhile. A backend adds what it needs to save the row (its rowid,
// the statement that saves it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/value.h"

namespace kestrel::store {

// The position of field `index` among `names`; an index outside them raises
// Ours::FieldNotFound.
size_t FieldPosition(const std::vector<std::string>& names, int index);
// The position of the field called `name` without regard to case; a name
// not among them raises Ours::FieldNotFound.
int FieldIndexOf(const std::vector<std::string>& names, std::string_view name);

// Raises when a recordset cannot add a row: closed (Ours::NoCurrentRow), or
// its rows come from no one table (Ours::RowsNotChangeable).
void RequireRowsAddable(bool closed, const std::string& table, bool several_tables);

struct RowEdit {
  enum class Kind { None, NewRow, CurrentRow } kind = Kind::None;
  // A loader adds row after row with the same columns: the values keep
  // their storage from row to row (`put` tells which belong to the row).
  std::vector<Value> values;
  std::vector<uint8_t> put;      // values[i] was put since the row began
  std::vector<uint8_t> changed;  // ... and is not saved yet
  bool dirty = false;

  // Begins a row of `fields` fields.
  void Begin(Kind k, size_t fields);
  void Set(size_t i, const Value& v);
  // What a read of field i gives while the row is edited: the value put, or
  // NULL in a new row; nullptr when the stored row's value stands.
  const Value* Override(size_t i) const;
  // The changes are saved.
  void Saved();
};

}  // namespace kestrel::store
