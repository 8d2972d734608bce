// The check that the rows an import adds to the application tables do not
// collide on a unique key of the target store: among themselves, across
// every application's data file, and with the stored rows the import keeps
// (those of the applications it replaces are deleted before it loads).
// Callers guarantee that the connection outlives the object.
// Internal to the import and its tests.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "store/connection.h"

namespace kestrel::importer {

// The columns of one unique key of a table (its primary key, a unique
// constraint or index) and their positions in the table's rows.
struct UniqueKey {
  std::string name;
  std::vector<std::string> columns;
  std::vector<size_t> positions;
};

// The unique keys the store declares for `table` whose columns are all among
// `table_columns` (the table's columns in order, lower case); keys on
// expressions are left out.
std::vector<UniqueKey> UniqueKeysOf(store::Connection& c, std::string_view table,
                                    const std::vector<std::string>& table_columns);

class KeyCollisions {
 public:
  // `replaced`: the applications whose rows the import deletes.
  KeyCollisions(store::Connection& c, std::vector<std::string> replaced) : c_(c), replaced_(std::move(replaced)) {}

  // Takes the next row the import adds to `table` (its fields in the order
  // of `table_columns`; an empty field is NULL). Raises 9041 naming the
  // table, the key and its values when the row collides.
  void Add(std::string_view table, const std::vector<std::string>& table_columns,
           const std::vector<std::string_view>& fields);

  // Whether a row added to `table` may have to be looked up in the store:
  // false when the table has no unique key, or when it is an application
  // table, the caller guarantees that every row's first field holds one of
  // the replaced applications and every key holds that field (the replaced
  // rows go, so no stored row can collide). Reads the table's keys from the
  // store, which a later Add then need not.
  bool AsksStore(std::string_view table, const std::vector<std::string>& table_columns, bool first_field_replaced);

  // From now on the object must not use the store (another thread uses the
  // connection): a row that would need it raises 9001 instead.
  void CloseStore() { store_closed_ = true; }

 private:
  struct Keys {
    std::vector<UniqueKey> keys;
    std::vector<std::unordered_set<std::string>> seen;  // per key, the values added so far
  };

  Keys& KeysOf(std::string_view table, const std::vector<std::string>& table_columns);

  store::Connection& c_;
  bool store_closed_ = false;
  std::vector<std::string> replaced_;
  std::map<std::string, Keys, std::less<>> keys_;
  std::string joined_;  // the key's values of the row at hand, kept to reuse its storage
};

}  // namespace kestrel::importer
