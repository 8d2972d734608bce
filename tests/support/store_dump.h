// A full dump of a profile store for tests that must show a store unchanged:
// its schema (every table and index as created) and every row of every
// table, rows sorted so that the dump does not depend on the order a query
// returns them in.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "store/open.h"

namespace kestrel::testing {

// Table or index name -> its creating statement, then "rows of T" -> the
// rows of T, each as its fields joined by "|" (NULL as "NULL").
inline std::map<std::string, std::vector<std::string>> StoreDump(const std::string& store_path) {
  std::map<std::string, std::vector<std::string>> out;
  auto c = kestrel::store::Open(store_path);
  std::vector<std::string> tables;
  {
    auto schema = c->OpenRecordset("select type, name, sql from sqlite_master where name not like 'sqlite_%'");
    for (; !schema->IsEOF(); schema->MoveNext()) {
      const std::string name = schema->Fields("name").Text();
      const auto sql = schema->Fields("sql");
      out[name].push_back(sql.IsNull() ? std::string("NULL") : sql.Text());
      if (schema->Fields("type").Text() == "table") tables.push_back(name);
    }
  }
  for (const std::string& table : tables) {
    auto& rows = out["rows of " + table];
    auto rs = c->OpenRecordset("select * from " + table);
    for (; !rs->IsEOF(); rs->MoveNext()) {
      std::string row;
      for (int k = 0; k < rs->FieldCount(); ++k) {
        const auto v = rs->Fields(k);
        row += (k ? "|" : "") + (v.IsNull() ? std::string("NULL") : v.Text());
      }
      rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end());
  }
  return out;
}

}  // namespace kestrel::testing
