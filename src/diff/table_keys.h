// The tables a difference is read from, with the columns that find one of
// their objects again on the other side (its key) and what the summary calls
// them. Internal to the diff.
#pragma once

#include <span>
#include <string_view>

namespace kestrel::diff {

enum class TableGroup { Profile, Rules, Libraries, Functions, Codes, ApplicationData };

struct TableKey {
  std::string_view table;
  TableGroup group;
  // Blank-separated key columns. A rule table's rows need not be unique by
  // them: rows of one key are matched equal ones first, then in file order.
  std::string_view columns;
};

// Every table a pack carries, the profile tables first, in pack order.
std::span<const TableKey> TableKeys();
const TableKey& KeyOf(std::string_view table);
std::string_view GroupName(TableGroup g);

}  // namespace kestrel::diff
