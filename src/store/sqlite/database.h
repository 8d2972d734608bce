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
#include "kestrel/store.h"
#include "store/sqlite/shape.h"
#include "store/sqlite/statement_cache.h"

namespace kestrel::store::sqlite {

class WaitingRows;
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
  // the text raises Ours::StatementNotSingle. Rows an inserter keeps
  // waiting are sent first (a refused one raises its error).
  std::unique_ptr<SqliteStatement> Prepare(std::string_view statement);
  // Hands a statement back to the cache (reset, bindings cleared).
  void Release(std::string_view statement, sqlite3_stmt* stmt) noexcept { cache_.Release(statement, stmt); }
  // The rows of an inserter that wait to go in a group: one inserter's at a
  // time, so that rows reach the store in the order they were added (the
  // rows of another that wait are sent first). They stay here when their
  // inserter goes, until the next statement sends them.
  void Waiting(const std::shared_ptr<WaitingRows>& rows);
  bool IsWaiting(const WaitingRows& rows) const { return waiting_.get() == &rows; }
  // Sends the waiting rows (a refused one raises its error); drops them
  // (they belong to what is rolled back, or the connection closes).
  void SendWaiting();
  void DropWaiting() noexcept;

  // Adds every row inserted into or deleted from a table of the store to
  // `counts` until called with nullptr (Connection::CountRowChanges).
  void CountRowChanges(RowChangeCounts* counts);
  // The rows counted as inserted so far, and taking back those counted
  // since: a statement that failed after inserting some of its rows, which
  // its failure undid, into the table counted last.
  int64_t InsertsCounted() const { return inserts_; }
  void UncountInsertsSince(int64_t counted);

  // Whether a statement that finds the store locked waits for it (the
  // default) or fails at once.
  void WaitForLocks(bool wait);
  // A failure of `statement`: after a wait for the store that ran out, the
  // wait's failure naming the statement's tables and the seconds waited
  // (store::LockNotHad); else `e`, with the store's location as its place
  // when it has none.
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
  std::shared_ptr<WaitingRows> waiting_;
  // SQLite's callback for every row written while changes are counted.
  static void OnRowChange(void* self, int operation, const char* database, const char* table, sqlite3_int64 rowid);
  RowChangeCounts* counts_ = nullptr;
  // The table counted last: rows come table by table.
  std::string last_table_;
  RowChange* last_counts_ = nullptr;
  int64_t inserts_ = 0;
};

}  // namespace kestrel::store::sqlite
