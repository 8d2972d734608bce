// A full dump of a profile store for tests that must show a store unchanged:
// its schema (every table and index as created, on SQLite) and every row of
// every table, each row's values joined by "|" (NULL as "NULL"), rows sorted so
// that the dump does not depend on the order a query returns them in. Owner
// columns ("ownr") are enciphered with a fresh salt on every write; a dump can
// show them deciphered, so that two imports of one pack compare equal, and
// NULL as an empty text, as a pack carries both alike. The store's record of
// runs (kestrel_runs, kestrel_run_pieces) is its own bookkeeping, not left in the dump.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "base/cipher.h"
#include "base/value.h"
#include "store/connection.h"
#include "store/open.h"
#include "store/schema.h"

namespace kestrel::testing {

// Table or index name -> its creating statement, then "rows of T" -> the rows of T.
using StoreDump = std::map<std::string, std::vector<std::string>>;

inline StoreDump DumpStore(kestrel::store::Connection& c, bool decipher_owners = false, bool null_as_empty = false) {
  StoreDump out;
  std::vector<std::string> tables;
  if (c.dialect() != kestrel::store::Dialect::Sqlite) {
    // A server store's tables are those the schema declares.
    for (const auto& t : kestrel::store::Tables()) tables.emplace_back(t.name);
  } else {
    auto schema = c.OpenRecordset("select type, name, sql from sqlite_master where name not like 'sqlite_%'");
    for (; !schema->IsEOF(); schema->MoveNext()) {
      const std::string name = schema->Fields("name").Text();
      if (name.starts_with("kestrel_run")) continue;
      const auto sql = schema->Fields("sql");
      out[name].push_back(sql.IsNull() ? std::string("NULL") : sql.Text());
      if (schema->Fields("type").Text() == "table") tables.push_back(name);
    }
  }
  for (const std::string& table : tables) {
    auto& rows = out["rows of " + table];
    auto rs = c.OpenRecordset("select * from " + table);
    for (; !rs->IsEOF(); rs->MoveNext()) {
      std::string row;
      for (int k = 0; k < rs->FieldCount(); ++k) {
        kestrel::Value v = rs->Fields(k);
        std::string shown = v.IsNull() ? std::string(null_as_empty ? "" : "NULL") : v.Text();
        if (decipher_owners && !v.IsNull() && rs->FieldName(k) == "ownr") shown = kestrel::CipherField(shown, false);
        row += (k ? "|" : "") + shown;
      }
      rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end());
  }
  return out;
}

inline StoreDump DumpStore(const std::string& store_path, bool decipher_owners = false, bool null_as_empty = false) {
  auto c = kestrel::store::Open(store_path);
  return DumpStore(*c, decipher_owners, null_as_empty);
}

}  // namespace kestrel::testing
