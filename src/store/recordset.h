// The rows of a select, read forward: what Connection::OpenRecordset hands
// out. Rows are written through inserters and keyed updates and deletes
// (store/row_writes.h), never through a recordset.
//
// BOF and EOF are both true when there is no row. Fields are found by column
// name (without regard to case) or by 0-based index; an expression column
// such as "cast(ownr as varchar)", whose name depends on the dialect, is read
// by index.
//
// Values: integers come back as integers, doubles as doubles, texts and
// binary values as their bytes, NULL as a NULL Value.
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
  // NULL and for numbers (a backend that holds a whole number as the text
  // Value::Text gives it may lend that).
  virtual bool ViewText(int index, std::string_view& out) const = 0;

  // The next n rows (all when n < 0), starting with the current one, as one
  // text: columns joined by column_sep, each row followed by row_sep, NULL as
  // "". Moves past them.
  std::string GetString(long n, std::string_view column_sep, std::string_view row_sep);
  // Appends the same text to `out` and returns how many rows it took.
  long AppendString(std::string& out, long n, std::string_view column_sep, std::string_view row_sep);

  // The caller reads the rows from the first to the last and asks the store
  // nothing else until it has read them all or released the recordset: the
  // store may stream the rest of them in one go.
  virtual void ReadThroughAlone() {}

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
