// The SQLite handle of one store and what every user of it shares: the
// statement cache and the shapes of the selects read so far. A connection,
// and every statement and recordset it handed out, hold it by shared
// ownership, so the handle is closed when the last of them is released,
// whatever the order.
//
// Callers guarantee: one thread at a time uses a Database and all that
// hold it.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "base/error.h"
#include "store/sqlite/shape.h"
#include "store/sqlite/statement_cache.h"

namespace kestrel::store::sqlite {

class SqliteStatement;

class Database : public std::enable_shared_from_this<Database> {
 public:
  // Opens the file with SQLite's open flags; fails with SQLite's code and
  // message, the path added. A statement that finds the store locked by
  // another program waits at most `lock_wait` for it.
  static std::shared_ptr<Database> Open(const std::string& path, int flags, std::chrono::milliseconds lock_wait);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3* handle() const { return db_; }
  const std::string& location() const { return location_; }
  Shapes& shapes() { return shapes_; }

  // A statement from the cache, or compiled now; more than one statement in
  // the text raises Ours::StatementNotSingle.
  std::unique_ptr<SqliteStatement> Prepare(std::string_view statement);
  // Hands a statement back to the cache (reset, bindings cleared).
  void Release(std::string_view statement, sqlite3_stmt* stmt) noexcept { cache_.Release(statement, stmt); }

  // Whether a statement that finds the store locked waits for it (the
  // default) or fails at once.
  void WaitForLocks(bool wait);
  // A failure of `statement`: after a wait for the store that ran out, the
  // wait's failure naming the statement's tables and the seconds waited
  // (store::LockNotHad); else `e` as it is.
  ComError Named(const ComError& e, std::string_view statement) const;

  // Raises SQLite's last error on this handle.
  [[noreturn]] void RaiseLast() const;

 private:
  struct Token {};

 public:
  Database(Token, sqlite3* db, std::string location, std::chrono::milliseconds lock_wait);

 private:
  sqlite3* db_;
  std::string location_;
  std::chrono::milliseconds lock_wait_;
  bool waits_ = false;
  Shapes shapes_;
  StatementCache cache_;
};

}  // namespace kestrel::store::sqlite
