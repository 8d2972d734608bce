// Reading a SQLite select forward, and adding and changing rows of its table
// by the rowid it fetches unseen.
#include "store/sqlite/recordset.h"

#include <charconv>
#include <exception>
#include <optional>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"
#include "store/row_edit.h"
#include "store/sqlite/database.h"
#include "store/sqlite/store_error.h"
#include "store/statements_store.h"

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

// The row being added or changed, and the rowid once the row is known to
// the table. The statement that saved the last row is kept while the same
// columns are saved.
struct SqliteRecordset::Edit : RowEdit {
  bool has_rowid = false;
  bool held = false;  // the row was added to be held (HoldAddedRows)
  size_t held_at = 0;  // its place among the held rows
  int64_t rowid = 0;

  std::vector<size_t> columns;                // the columns being saved (scratch)
  std::unique_ptr<SqliteStatement> saver;     // the statement that saved the last row
  std::vector<size_t> saver_columns;
  bool saver_inserts = false;

  void Start(Kind k, size_t n) {
    Begin(k, n);
    has_rowid = false;
    held = false;
  }
};

SqliteRecordset::SqliteRecordset(std::shared_ptr<Database> db, std::string_view statement,
                                 const std::vector<Value>& values)
    : db_(std::move(db)), edit_(std::make_unique<Edit>()) {
  SelectShape* found = nullptr;
  try {
    found = &db_->shapes().Of(statement);
  } catch (const ComError& e) {
    throw db_->Named(e, statement);
  }
  SelectShape& shape = *found;
  table_ = shape.table;
  several_tables_ = shape.several;
  if (!shape.with_rowid.empty() && !shape.rowid_refused) {
    try {
      stmt_ = db_->Prepare(shape.with_rowid);
      hidden_rowid_ = true;
    } catch (const ComError& e) {
      // A store another program holds would be waited for again.
      if (IsStoreBusy(e)) throw;
      stmt_.reset();
    }
  }
  if (!stmt_) {
    stmt_ = db_->Prepare(statement);
    // The plain text runs: the table itself has no rowid.
    if (!shape.with_rowid.empty()) shape.rowid_refused = true;
  }
  const int places = sqlite3_bind_parameter_count(stmt_->get());
  if (places != static_cast<int>(values.size()))
    Raise(Ours::Internal, fmt::format("The statement has {} parameters for {} values", places, values.size()));
  // The recordset keeps the values: its statement goes back to the cache,
  // its bindings cleared, before they are destroyed.
  values_ = values;
  for (size_t i = 0; i < values_.size(); ++i) stmt_->BindKept(static_cast<int>(i + 1), values_[i]);

  Step();
  bof_ = eof_;
  columns_ = db_->shapes().ColumnsOf(stmt_->get(), hidden_rowid_ ? 1 : 0);
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
  if (closed_) Raise(Ours::NoCurrentRow);
  SaveEdit();
  edit_->kind = Edit::Kind::None;
  if (eof_) Raise(Ours::NoCurrentRow);
  Step();
}

void SqliteRecordset::Close() {
  if (closed_) return;
  std::exception_ptr failure;
  try {
    SendHeld();
  } catch (...) {
    failure = std::current_exception();
  }
  held_values_.clear();
  held_put_.clear();
  held_rows_ = 0;
  closed_ = true;
  edit_->kind = Edit::Kind::None;
  edit_->saver.reset();
  group_.reset();
  eof_ = true;
  stmt_.reset();
  if (failure) std::rethrow_exception(failure);
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
  if (edit_->held && edit_->kind != Edit::Kind::None) return HeldField(i);
  if (const Value* v = edit_->Override(i)) return *v;
  RequireRow();
  return ColumnValue(stmt_->get(), index);
}

void SqliteRecordset::AppendField(std::string& out, int index) const {
  if (edit_->kind != Edit::Kind::None) {
    Value v = Fields(index);
    out += v.TextOrEmpty();
    return;
  }
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
  if (edit_->kind != Edit::Kind::None || closed_ || eof_ || index < 0 || index >= FieldCount()) return false;
  return ColumnBytes(stmt_->get(), index, out);
}

void SqliteRecordset::AddNew() {
  RequireRowsAddable(closed_, table_, several_tables_);
  SaveEdit();
  edit_->Start(Edit::Kind::NewRow, columns_->names.size());
}

void SqliteRecordset::Put(int index, const Value& v) {
  const size_t i = FieldPosition(columns_->names, index);
  // Its adder said it would not change the row: it has no rowid yet.
  if (edit_->held)
    Raise(Ours::RowsNotChangeable, fmt::format("{}: the added row was not saved", DefaultText(Ours::RowsNotChangeable)));
  if (edit_->kind == Edit::Kind::None) {
    RequireRow();
    edit_->Start(Edit::Kind::CurrentRow, columns_->names.size());
  }
  edit_->Set(i, v);
}

void SqliteRecordset::Update() {
  if (closed_) Raise(Ours::NoCurrentRow);
  SaveEdit();
}

// The statement text depends only on the table and the columns put, so a
// loader that adds row after row keeps one statement for all of them.
void SqliteRecordset::PrepareSaver(bool insert, const std::vector<size_t>& columns) {
  Edit& e = *edit_;
  if (e.saver && e.saver_inserts == insert && e.saver_columns == columns) return;
  e.saver.reset();
  std::vector<std::string_view> names;
  for (size_t i : columns) names.push_back(columns_->names[i]);
  e.saver = db_->Prepare(insert ? InsertRowKeepingRowId(Dialect::Sqlite, table_, names)
                                : UpdateRowByRowid(Dialect::Sqlite, table_, names));
  e.saver_columns = columns;
  e.saver_inserts = insert;
}

void SqliteRecordset::BindRow(SqliteStatement& st, int first, const std::vector<size_t>& columns,
                              const Value* values, const uint8_t* put) {
  static const Value kNull;
  // The values stay put until the statement has run: SQLite need not copy them.
  int p = first;
  for (size_t k = 0; k < columns.size(); ++k) {
    const size_t i = columns[k];
    const Value& v = put && !put[i] ? kNull : values[i];
    if (v.IsDouble() && columns_->textual[i])
      st.Bind(p, Value(FormatDouble(*v.AsDouble())));
    else if (columns_->binary[i] && v.IsText())
      st.Bind(p, v, true);
    else
      st.BindKept(p, v);
    ++p;
  }
}

void SqliteRecordset::SendHeld() {
  if (held_rows_ == 0) return;
  Edit& e = *edit_;
  const size_t n = held_columns_.size();
  // The held values keep their storage for the next rows.
  const auto sent = [&] { held_rows_ = 0; };
  if (held_rows_ == kHeldRows) {
    if (!group_ || group_columns_ != held_columns_) {
      std::vector<std::string_view> names;
      for (size_t i : held_columns_) names.push_back(columns_->names[i]);
      group_ = db_->Prepare(InsertRowWithParameters(Dialect::Sqlite, table_, names, kHeldRows));
      group_columns_ = held_columns_;
    }
    for (size_t r = 0; r < held_rows_; ++r)
      BindRow(*group_, static_cast<int>(r * n + 1), held_columns_, held_values_[r].data(), held_put_[r].data());
    try {
      group_->Run();
      sent();
      return;
    } catch (const ComError&) {
      // A refused statement wrote none of its rows; a failure that ended the
      // transaction leaves nothing to go again.
      if (sqlite3_get_autocommit(db_->handle())) {
        sent();
        throw;
      }
    }
  }
  // One by one: the rest of a group, or a group the store refused, whose
  // refused row then fails alone after the rows before it.
  PrepareSaver(true, held_columns_);
  for (size_t r = 0; r < held_rows_; ++r) {
    BindRow(*e.saver, 1, held_columns_, held_values_[r].data(), held_put_[r].data());
    try {
      e.saver->Run();
    } catch (...) {
      sent();
      throw;
    }
  }
  sent();
}

void SqliteRecordset::HoldEdit() {
  Edit& e = *edit_;
  if (null_defaults_.empty()) null_defaults_ = NullDefaults();
  e.columns.clear();
  for (size_t i = 0; i < e.changed.size(); ++i)
    if (e.changed[i] || null_defaults_[i]) e.columns.push_back(i);
  if (held_rows_ != 0 && held_columns_ != e.columns) SendHeld();
  if (held_rows_ == 0) held_columns_ = e.columns;
  if (held_values_.size() == held_rows_) {
    held_values_.emplace_back();
    held_put_.emplace_back();
  }
  // The row's values change places with those of a row sent before: no
  // value is copied, and the edit's next row reuses their storage.
  std::swap(held_values_[held_rows_], e.values);
  held_put_[held_rows_].assign(e.changed.begin(), e.changed.end());
  e.held_at = held_rows_;
  ++held_rows_;
  e.held = true;
  e.Saved();
  if (held_rows_ == kHeldRows) SendHeld();
}

Value SqliteRecordset::HeldField(size_t column) const {
  // Sent or not, the row's values stay where they were held until the next
  // row is added.
  const size_t r = edit_->held_at;
  return held_put_[r][column] ? held_values_[r][column] : Value();
}

std::vector<uint8_t> SqliteRecordset::NullDefaults() const {
  std::vector<uint8_t> nulls(columns_->names.size(), 0);
  try {
    auto st = db_->Prepare(SelectColumnsDefaultingToNull(table_));
    while (st->Step()) {
      const Value name = st->Column(0);
      const std::string* text = name.AsText();
      if (!text) continue;
      const std::string wanted = text::LowerAscii(*text);
      for (size_t i = 0; i < nulls.size(); ++i)
        if (text::LowerAscii(columns_->names[i]) == wanted) nulls[i] = 1;
    }
    st->Reset();
  } catch (const ComError&) {
    // Rows then go in groups of the columns they give.
    std::fill(nulls.begin(), nulls.end(), 0);
  }
  return nulls;
}

void SqliteRecordset::SaveEdit() {
  Edit& e = *edit_;
  if (e.kind == Edit::Kind::None || !e.dirty) return;
  if (table_.empty()) Raise(Ours::RowsNotChangeable);

  const bool insert = e.kind == Edit::Kind::NewRow && !e.has_rowid;
  if (insert && hold_) {
    HoldEdit();
    return;
  }
  e.columns.clear();
  for (size_t i = 0; i < e.changed.size(); ++i)
    if (e.changed[i]) e.columns.push_back(i);
  if (!insert && !e.has_rowid) {
    if (!hidden_rowid_ || eof_)
      Raise(Ours::RowsNotChangeable,
            fmt::format("{}: the found row has no rowid", DefaultText(Ours::RowsNotChangeable)));
    e.rowid = sqlite3_column_int64(stmt_->get(), FieldCount());
    e.has_rowid = true;
  }
  PrepareSaver(insert, e.columns);

  SqliteStatement& st = *e.saver;
  BindRow(st, 1, e.columns, e.values.data());
  const int p = static_cast<int>(e.columns.size()) + 1;
  if (!insert) st.Bind(p, Value(e.rowid));
  st.Run();
  if (insert) {
    e.rowid = sqlite3_last_insert_rowid(db_->handle());
    e.has_rowid = true;
  }
  e.Saved();
}

}  // namespace kestrel::store::sqlite
