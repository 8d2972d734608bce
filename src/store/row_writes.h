// Writing rows without a cursor, and the checks on field positions that
// every backend's recordset makes: an inserter adds whole rows to one table,
// and a keyed update or delete changes the rows that match given values of
// some columns. What Connection::Insert, UpdateByKey and DeleteByKey take.
//
// Values are taken as a read gives them back: NULL stored as NULL; an
// integer as an integer (its decimal text in a text column); a double as a
// number (in a text column as FormatDouble writes it); bytes as text, or as
// binary in a binary column. A text holding a NUL byte is refused for a
// column that is not binary with Ours::NulInValue, naming the table and
// column, before anything of the row is written: the stores differ there.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/value.h"

namespace kestrel::store {

// A column of a store table as a write binds it.
struct TableColumn {
  std::string name;
  bool binary = false;   // declared binary: texts go in as bytes
  bool textual = false;  // declared text: numbers go in as their text
  // An insert that leaves the column out fills it with a value of the
  // store's own (a default, an identity, a computed value), not NULL.
  bool has_default = false;
};

// Column names and their values, in pairs: the key a keyed update or delete
// matches (every column equal to its value; a NULL value matches no row), or
// the columns an update sets.
struct ColumnValues {
  std::vector<std::string_view> columns;
  std::vector<Value> values;
};

// Adds rows to one table, a value for each of its columns in the order the
// inserter was made with. Columns not named keep the table's default. Rows
// may wait and go in together (grouped inserts, or COPY on a server) when
// enough have come or at Flush; inside a transaction, waiting rows also go
// before any other statement of the connection runs (so that every read
// sees them and a commit keeps them), and a rollback drops them. Outside a
// transaction each row commits by itself.
// The store must look as if each row went by itself: a row the store
// refuses raises its own error, at its Add or at a later Add or Flush (or
// with the connection's next statement once the inserter is gone), after
// the rows before it are saved and before any after it is.
class Inserter {
 public:
  virtual ~Inserter() = default;
  Inserter(const Inserter&) = delete;
  Inserter& operator=(const Inserter&) = delete;

  // A row of as many values as the inserter has columns (else
  // Ours::Internal). The values are copied.
  void Add(std::span<const Value> row);
  // The same with the values where they are: a loader's row is not copied
  // twice.
  virtual void Add(std::span<const Value* const> row) = 0;
  // Sends every row waiting; the inserter takes more rows afterwards.
  virtual void Flush() = 0;

 protected:
  Inserter() = default;
};

// The position of field `index` among `names`; an index outside them raises
// Ours::FieldNotFound.
size_t FieldPosition(const std::vector<std::string>& names, int index);
// The position of the field called `name` without regard to case; a name
// not among them raises Ours::FieldNotFound.
int FieldIndexOf(const std::vector<std::string>& names, std::string_view name);

// The value as a write to `column` of `table` binds it: a double in a text
// column becomes its text; a text with a NUL byte in a column that is not
// binary raises Ours::NulInValue.
const Value& ValueFor(const TableColumn& column, std::string_view table, const Value& v, Value& scratch);
// The columns among `columns` named `names`, in that order; a name that is
// not there raises Ours::FieldNotFound naming the table.
std::vector<TableColumn> ColumnsNamed(const std::vector<TableColumn>& columns, std::string_view table,
                                      std::span<const std::string_view> names);

}  // namespace kestrel::store
