// Reading a SQLite select forward.
#include "store/sqlite/recordset.h"

#include <charconv>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"
#include "store/row_writes.h"
#include "store/sqlite/database.h"
#include "store/sqlite/store_error.h"

namespace kestrel::store::sqlite {
namespace {

void AppendInteger(std::string& out, int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

// The bytes of a text or blob column, read through the column's value object:
// one call into SQLite for the column instead of one each for its type, bytes
// and length (sqlite3_column_type, _text, _bytes), each of which enters and
// leaves the connection. The value object is the library's unprotected kind,
// safe here because a recordset's connection is used on one thread at a time
// (and opened without a mutex). False for NULL and numbers.
bool ColumnBytes(sqlite3_stmt* s, int index, std::string_view& out) {
  sqlite3_value* v = sqlite3_column_value(s, index);
  const char* p;
  switch (sqlite3_value_type(v)) {
    case SQLITE_TEXT: p = reinterpret_cast<const char*>(sqlite3_value_text(v)); break;
    case SQLITE_BLOB: p = static_cast<const char*>(sqlite3_value_blob(v)); break;
    default: return false;
  }
  out = std::string_view(p ? p : "", p ? static_cast<size_t>(sqlite3_value_bytes(v)) : 0);
  return true;
}

}  // namespace

SqliteRecordset::SqliteRecordset(std::shared_ptr<Database> db, std::string_view statement,
                                 const std::vector<Value>& values)
    : db_(std::move(db)) {
  stmt_ = db_->Prepare(statement);
  const int places = sqlite3_bind_parameter_count(stmt_->get());
  if (places != static_cast<int>(values.size()))
    Raise(Ours::Internal, fmt::format("The statement has {} parameters for {} values", places, values.size()));
  // The recordset keeps the values: its statement goes back to the cache,
  // its bindings cleared, before they are destroyed.
  values_ = values;
  for (size_t i = 0; i < values_.size(); ++i) stmt_->BindKept(static_cast<int>(i + 1), values_[i]);

  Step();
  bof_ = eof_;
  columns_ = db_->shapes().ColumnsOf(stmt_->get());
}

SqliteRecordset::~SqliteRecordset() {
  try {
    Close();
  } catch (...) {
  }
}

void SqliteRecordset::Step() {
  if (stmt_->Step()) {
    eof_ = false;
  } else {
    eof_ = true;
    // Done: release the read at once so that writers are not kept waiting.
    stmt_->Reset();
  }
}

void SqliteRecordset::MoveNext() {
  if (closed_ || eof_) Raise(Ours::NoCurrentRow);
  Step();
}

void SqliteRecordset::Close() {
  if (closed_) return;
  closed_ = true;
  eof_ = true;
  stmt_.reset();
}

int SqliteRecordset::FieldCount() const { return static_cast<int>(columns_->names.size()); }

const std::string& SqliteRecordset::FieldName(int index) const {
  return columns_->names[FieldPosition(columns_->names, index)];
}

int SqliteRecordset::IndexOf(std::string_view name) const { return FieldIndexOf(columns_->names, name); }

void SqliteRecordset::RequireRow() const {
  if (closed_ || eof_) Raise(Ours::NoCurrentRow);
}

Value SqliteRecordset::Fields(int index) const {
  const size_t i = FieldPosition(columns_->names, index);
  RequireRow();
  return ColumnValue(stmt_->get(), static_cast<int>(i));
}

void SqliteRecordset::AppendField(std::string& out, int index) const {
  sqlite3_stmt* s = stmt_->get();
  std::string_view bytes;
  if (ColumnBytes(s, index, bytes)) {
    out += bytes;
    return;
  }
  switch (sqlite3_column_type(s, index)) {
    case SQLITE_INTEGER: AppendInteger(out, sqlite3_column_int64(s, index)); return;
    case SQLITE_FLOAT: out += FormatDouble(sqlite3_column_double(s, index)); return;
    default: return;
  }
}

bool SqliteRecordset::ViewText(int index, std::string_view& out) const {
  if (closed_ || eof_ || index < 0 || index >= FieldCount()) return false;
  return ColumnBytes(stmt_->get(), index, out);
}

}  // namespace kestrel::store::sqlite
