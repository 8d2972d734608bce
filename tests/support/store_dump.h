// A dump of a store for "nothing changed" comparisons: every row of every
// table, each row's values joined by "|", sorted, so two dumps are equal when
// the stores hold the same rows. Owner columns ("ownr") are enciphered with a
// fresh salt on every write; a dump can show them deciphered, so that two
// imports of one pack compare equal.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "base/cipher.h"
#include "base/value.h"
#include "store/connection.h"
#include "store/schema.h"

namespace kestrel::testing {

using StoreDump = std::map<std::string, std::vector<std::string>>;

inline StoreDump DumpStore(kestrel::store::Connection& c, bool decipher_owners = false) {
  StoreDump out;
  for (const auto& table : kestrel::store::Tables()) {
    auto& rows = out[std::string(table.name)];
    auto rs = c.OpenRecordset("select * from " + std::string(table.name));
    for (; !rs->IsEOF(); rs->MoveNext()) {
      std::string row;
      for (int k = 0; k < rs->FieldCount(); ++k) {
        kestrel::Value v = rs->Fields(k);
        std::string shown = v.IsNull() ? std::string("NULL") : v.Text();
        if (decipher_owners && !v.IsNull() && rs->FieldName(k) == "ownr")
          shown = kestrel::CipherField(shown, false);
        row += (k ? "|" : "") + shown;
      }
      rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end());
  }
  return out;
}

}  // namespace kestrel::testing
