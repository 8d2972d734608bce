// Binding, stepping and reading a prepared SQLite statement.
#include "store/sqlite/statement.h"
#include "store/sqlite/store_error.h"

#include "base/error.h"
#include "store/sqlite/database.h"

namespace kestrel::store::sqlite {

SqliteStatement::SqliteStatement(std::shared_ptr<Database> db, std::string text, sqlite3_stmt* stmt)
    : db_(std::move(db)), text_(std::move(text)), stmt_(stmt) {}

SqliteStatement::~SqliteStatement() { db_->Release(text_, stmt_); }

void SqliteStatement::Check(int rc) const {
  if (rc != SQLITE_OK) db_->RaiseLast();
}

void SqliteStatement::Bind(int index, const Value& v, bool as_blob) { BindValue(index, v, as_blob, true); }

void SqliteStatement::BindKept(int index, const Value& v) { BindValue(index, v, false, false); }

void SqliteStatement::BindTextKept(int index, std::string_view text) {
  Check(text.empty() ? sqlite3_bind_null(stmt_, index)
                     : sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8));
}

void SqliteStatement::BindValue(int index, const Value& v, bool as_blob, bool copy) {
  const auto lifetime = copy ? SQLITE_TRANSIENT : SQLITE_STATIC;
  int rc;
  if (v.IsNull()) {
    rc = sqlite3_bind_null(stmt_, index);
  } else if (v.IsInteger()) {
    rc = sqlite3_bind_int64(stmt_, index, *v.AsInteger());
  } else if (v.IsDouble()) {
    rc = sqlite3_bind_double(stmt_, index, *v.AsDouble());
  } else {
    const std::string& s = *v.AsText();
    rc = as_blob ? sqlite3_bind_blob64(stmt_, index, s.data(), s.size(), lifetime)
                 : sqlite3_bind_text64(stmt_, index, s.data(), s.size(), lifetime, SQLITE_UTF8);
  }
  Check(rc);
}

bool SqliteStatement::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3* db = db_->handle();
  ComError e = db_->Named(StoreError(db), text_);
  sqlite3_reset(stmt_);
  throw e;
}

int64_t SqliteStatement::Run() {
  while (Step()) {
  }
  sqlite3_reset(stmt_);
  return sqlite3_stmt_readonly(stmt_) ? 0 : sqlite3_changes64(db_->handle());
}

void SqliteStatement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int SqliteStatement::ColumnCount() const { return sqlite3_column_count(stmt_); }

Value SqliteStatement::Column(int index) const { return ColumnValue(stmt_, index); }

Value ColumnValue(sqlite3_stmt* s, int index) {
  switch (sqlite3_column_type(s, index)) {
    case SQLITE_NULL: return Value();
    case SQLITE_INTEGER: return Value(static_cast<int64_t>(sqlite3_column_int64(s, index)));
    case SQLITE_FLOAT: return Value(sqlite3_column_double(s, index));
    case SQLITE_BLOB: {
      const char* p = static_cast<const char*>(sqlite3_column_blob(s, index));
      return Value(std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(s, index))));
    }
    default: {
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(s, index));
      return Value(std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(s, index))));
    }
  }
}

}  // namespace kestrel::store::sqlite
