// The rows of a select, read forward, and the adding and changing of rows of
// its table: what Connection::OpenRecordset hands out.
//
// BOF and EOF are both true when there is no row. Fields are found by column
// name (without regard to case) or by 0-based index; an expression column
// such as "cast(ownr as varchar)", whose name depends on the dialect, is read
// by index.
//
// Values: integers come back as integers, doubles as doubles, texts and
// binary values as their bytes, NULL as a NULL Value.
//
// Adding rows: AddNew starts a new row (saving first a row added or changed
// before and not yet saved), Put sets its fields, Update saves it into the one
// table the statement reads ("select * from qzmap120 where 1=2"). A statement
// whose rows come from more than one table, or from none, cannot add rows.
// Columns not put keep the table's default. After Update the added row stays
// the current one until the next AddNew or MoveNext: a further Put and Update
// change it.
// Changing a found row: Put and Update on the current row change it in place;
// a "select * from <table>" statement can change its rows, others may not.
// MoveNext saves a pending row first; Close and destruction discard it.
// Inside a transaction a backend may hold added rows back and send them
// together, before any other statement runs and at Close at the latest: a
// row the store refuses is then reported there rather than by its Update,
// with the store's own error; the rows added before it are saved and the
// ones after it are not, as if it had failed at its Update. A caller that
// must know its rows are saved closes the recordset.
//
// What Put accepts (a Value):
//   - NULL: stored as NULL;
//   - an integer (also a bool, which converts to 1 or 0): stored as an integer
//     in integer columns and as its decimal text in text columns;
//   - a double: stored as a number in numeric columns and, in text columns,
//     as FormatDouble writes it (shortest form that reads back equal, "3" for
//     3.0);
//   - bytes: stored as text, or as binary in binary columns.
#pragma once

#include <string>
#include <string_view>

#include "base/value.h"

namespace kestrel::store {

class Recordset {
 public:
  virtual ~Recordset() = default;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  virtual bool BOF() const = 0;
  virtual bool IsEOF() const = 0;
  virtual void MoveNext() = 0;
  virtual void Close() = 0;

  virtual int FieldCount() const = 0;
  // The name of a field; an index outside the fields raises Ours::FieldNotFound.
  virtual const std::string& FieldName(int index) const = 0;
  // The position of a field found by name without regard to case; a name the
  // statement does not read raises Ours::FieldNotFound.
  virtual int IndexOf(std::string_view name) const = 0;
  virtual Value Fields(int index) const = 0;
  Value Fields(std::string_view name) const { return Fields(IndexOf(name)); }
  // Appends the text of a field of the current row to `out` ("" for NULL),
  // as GetString writes it, without building a Value.
  virtual void AppendField(std::string& out, int index) const = 0;
  // The bytes of a text or binary field of the current row, without copying
  // them: true and `out` set, valid until the recordset moves on. False for
  // NULL, for numbers (a backend that holds a whole number as the text
  // Value::Text gives it may lend that), and while a row is being added or
  // changed.
  virtual bool ViewText(int index, std::string_view& out) const = 0;

  // The next n rows (all when n < 0), starting with the current one, as one
  // text: columns joined by column_sep, each row followed by row_sep, NULL as
  // "". Moves past them.
  std::string GetString(long n, std::string_view column_sep, std::string_view row_sep);
  // Appends the same text to `out` and returns how many rows it took.
  long AppendString(std::string& out, long n, std::string_view column_sep, std::string_view row_sep);

  virtual void AddNew() = 0;
  // Put by the 0-based position of the field, as IndexOf gives it: a loader
  // that puts the same columns row after row looks their names up once.
  // A position outside the fields raises Ours::FieldNotFound.
  virtual void Put(int index, const Value& v) = 0;
  void Put(std::string_view name, const Value& v) { Put(IndexOf(name), v); }
  virtual void Update() = 0;
  // The caller adds rows that it neither reads back nor changes, and reads
  // nothing of the table until Close: the store may hold the rows and insert
  // many with one statement. A row the store refuses still fails alone with
  // its own error, after the rows before it are saved: at a later Update or
  // at Close. Putting a value into an added row after its Update raises
  // Ours::RowsNotChangeable.
  virtual void HoldAddedRows() {}
  // The caller reads the rows from the first to the last, changes none, and
  // asks the store nothing else until it has read them all or released the
  // recordset: the store may stream the rest of them in one go.
  virtual void ReadThroughAlone() {}

  // The one table the statement's rows come from ("" when none or several).
  virtual const std::string& TargetTable() const = 0;

 protected:
  Recordset() = default;
  // Appends the current row's fields joined by `column_sep`, as AppendField
  // gives them one by one, when the backend has a quicker way; false (and
  // nothing appended) when not.
  virtual bool AppendRow(std::string& /*out*/, std::string_view /*column_sep*/) const { return false; }
  // True while the recordset can be read or moved (not closed).
  virtual bool IsOpen() const = 0;
};

}  // namespace kestrel::store
