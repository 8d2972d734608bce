// The profile store's thirty-one tables as this system creates them in
// SQLite and PostgreSQL: columns in order with their types, keys and uniqueness, and the
// indexes that the component's statements select by. Export and import need
// none of it (they work on any store whose tables have the columns they
// name); init-store, demo-store and the tests create stores from it.
// docs/schema.md describes the tables for people.
#pragma once

#include "kestrel/store.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/connection.h"

namespace kestrel::store {

// Column types: profile numbers and the other integers the component names,
// texts (codes, VRCs, dates, blocks), and the binary owner and user columns.
enum class ColumnType { Integer, Text, Binary };

struct ColumnDef {
  std::string_view name;
  ColumnType type;
};

struct TableDef {
  std::string_view name;
  std::vector<ColumnDef> columns;
  // Table constraints, SQL text after the columns ("" for none).
  std::string_view constraints;
  // Index definitions: name suffix and column list ("mprf, tcpac, tcmod,
  // tflno"); a binary column is indexed by the number it holds.
  std::vector<std::pair<std::string_view, std::string_view>> indexes;

  std::vector<std::string_view> ColumnNames() const;
};

// All thirty-one tables: qzmap100 ... qzmap175, qzlib100, qzlib105, qzusr100,
// qzusr110, qzddi100 ... qzddi230, qzlgy115, qzlgy140, qzlgy141, qzlgy150.
const std::vector<TableDef>& Tables();
// The table of that name, or nullptr.
const TableDef* FindTable(std::string_view name);

// The seventeen tables that hold a profile's rows, in the order the import
// deletes a profile from them.
std::span<const std::string_view> ProfileTables();
// The eleven tables that hold an application's rows, in the order the import
// deletes an application from them (qzddi100 first).
std::span<const std::string_view> ApplicationTables();
// The rule tables (current rules and their revision twins).
std::span<const std::string_view> RuleTables();

// The columns of the index that a read of the table by profile number walks
// ("mprf, tcpac, tcmod, tflno"), taken from its indexes or its key; "" when
// none starts with the profile number.
std::string_view ProfileIndexColumns(const TableDef& t);

// The script that creates every table and index in the store's SQL (binary
// columns are "blob" in SQLite, "bytea" in PostgreSQL).
std::string SchemaScript(Dialect d);
// The script that drops every table of the store (those that are there).
std::string DropSchemaScript();
// Runs the script on an empty store, in one transaction.
void CreateSchema(Connection& c);

}  // namespace kestrel::store
