// A prepared statement borrowed from a handle's cache and returned to it when
// destroyed. It shares ownership of the handle, so it stays usable when the
// connection that made it is released first.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

#include "store/statement.h"

namespace kestrel::store::sqlite {

class Database;

class SqliteStatement final : public Statement {
 public:
  SqliteStatement(std::shared_ptr<Database> db, std::string text, sqlite3_stmt* stmt);
  ~SqliteStatement() override;

  void Bind(int index, const Value& v, bool as_blob = false) override;
  void BindKept(int index, const Value& v) override;
  void BindTextKept(int index, std::string_view text) override;
  bool Step() override;
  int64_t Run() override;
  void Reset() override;
  int ColumnCount() const override;
  Value Column(int index) const override;

  // Binds as Bind does; a value not copied (`copy` false) stays unchanged
  // until the statement is reset, run again or destroyed.
  void BindValue(int index, const Value& v, bool as_blob, bool copy);

  sqlite3_stmt* get() const { return stmt_; }
  Database& database() const { return *db_; }

 private:
  void Check(int rc) const;

  std::shared_ptr<Database> db_;
  std::string text_;
  sqlite3_stmt* stmt_;
};

// A column of the row a statement made ready, as a Value: integers as
// integers, doubles as doubles, texts and blobs as their bytes, NULL as NULL.
Value ColumnValue(sqlite3_stmt* stmt, int index);

}  // namespace kestrel::store::sqlite
