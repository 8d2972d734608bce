// Unique keys of the store's tables and the rows an import would add under them.
#include "importer/key_collisions.h"

#include <algorithm>

#include "base/errors_ours.h"
#include "base/row_reader.h"
#include "base/text.h"
#include "store/schema.h"
#include "store/statements_import_check.h"

namespace kestrel::importer {
namespace {

bool IsApplicationTable(std::string_view table) {
  const auto tables = store::ApplicationTables();
  return std::find(tables.begin(), tables.end(), table) != tables.end();
}

[[noreturn]] void Collide(std::string_view table, const UniqueKey& key, const std::vector<std::string>& values,
                          std::string_view with) {
  std::string detail = "table " + std::string(table) + ", key (";
  for (size_t i = 0; i < key.columns.size(); ++i) detail += (i ? ", " : "") + key.columns[i];
  detail += ") = (";
  for (size_t i = 0; i < values.size(); ++i) detail += (i ? ", " : "") + QuoteForMessage(values[i]);
  detail += ") as in " + std::string(with);
  RaiseWithDetail(Ours::KeyCollision, detail);
}

}  // namespace

std::vector<UniqueKey> UniqueKeysOf(store::Connection& c, std::string_view table,
                                    const std::vector<std::string>& table_columns) {
  std::vector<UniqueKey> keys;
  bool expression = false;
  auto rs = c.OpenRecordset(store::SelectUniqueKeyColumns(c.dialect(), table));
  for (; !rs->IsEOF(); rs->MoveNext()) {
    const std::string name = rs->Fields("keyn").TextOrEmpty();
    if (keys.empty() || keys.back().name != name) {
      if (expression) keys.pop_back();
      keys.push_back(UniqueKey{name, {}, {}});
      expression = false;
    }
    const Value column = rs->Fields("coln");
    const std::string* text = column.AsText();
    const auto at = text ? std::find(table_columns.begin(), table_columns.end(), text::LowerAscii(*text))
                         : table_columns.end();
    if (at == table_columns.end()) {
      expression = true;
      continue;
    }
    keys.back().columns.push_back(*at);
    keys.back().positions.push_back(static_cast<size_t>(at - table_columns.begin()));
  }
  if (expression) keys.pop_back();
  return keys;
}

KeyCollisions::Keys& KeyCollisions::KeysOf(std::string_view table, const std::vector<std::string>& table_columns) {
  auto found = keys_.find(table);
  if (found == keys_.end()) {
    if (store_closed_) Raise(Ours::Internal, "The unique keys of " + std::string(table) + " were not read before");
    found = keys_.emplace(std::string(table), Keys{UniqueKeysOf(c_, table, table_columns), {}}).first;
    found->second.seen.resize(found->second.keys.size());
  }
  return found->second;
}

bool KeyCollisions::AsksStore(std::string_view table, const std::vector<std::string>& table_columns,
                              bool first_field_replaced) {
  const Keys& keys = KeysOf(table, table_columns);
  if (keys.keys.empty()) return false;
  if (!IsApplicationTable(table) || !first_field_replaced || table_columns.empty() || table_columns[0] != "appl")
    return true;
  return !std::all_of(keys.keys.begin(), keys.keys.end(), [](const UniqueKey& key) {
    return std::find(key.positions.begin(), key.positions.end(), size_t{0}) != key.positions.end();
  });
}

void KeyCollisions::Add(std::string_view table, const std::vector<std::string>& table_columns,
                      const std::vector<std::string_view>& fields) {
  Keys& keys = KeysOf(table, table_columns);
  const bool deleted_by_application = IsApplicationTable(table);
  for (size_t k = 0; k < keys.keys.size(); ++k) {
    const UniqueKey& key = keys.keys[k];
    auto field = [&](size_t i) -> std::string_view {
      return key.positions[i] < fields.size() ? fields[key.positions[i]] : std::string_view();
    };
    joined_.clear();
    bool has_null = false, replaced_application = false;
    for (size_t i = 0; i < key.positions.size(); ++i) {
      const std::string_view value = field(i);
      // An empty field is loaded as NULL, which no unique key compares.
      if (value.empty()) has_null = true;
      if (key.columns[i] == "appl" &&
          std::find(replaced_.begin(), replaced_.end(), value) != replaced_.end())
        replaced_application = true;
      joined_ += value;
      joined_ += files::kFieldSeparator;
    }
    if (has_null) continue;
    // The key's values one by one, for a statement or a refusal: most rows
    // need neither.
    auto values = [&] {
      std::vector<std::string> v;
      for (size_t i = 0; i < key.positions.size(); ++i) v.emplace_back(field(i));
      return v;
    };
    if (!keys.seen[k].insert(joined_).second) Collide(table, key, values(), "an earlier row of the pack");
    // A stored row with these values belongs to a replaced application, and
    // goes, when the key holds the application.
    if (deleted_by_application && replaced_application) continue;
    if (store_closed_) Raise(Ours::Internal, "A row of " + std::string(table) + " needs the store after all");
    if (!c_.OpenRecordset(store::SelectRowWithKey(c_.dialect(), table, key.columns, values(),
                                                  deleted_by_application ? replaced_ : std::vector<std::string>{}))
             ->IsEOF())
      Collide(table, key, values(), "a row the store keeps");
  }
}

}  // namespace kestrel::importer
