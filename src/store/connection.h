// The connection and recordset through which every statement of the component
// runs: a small stand-in for the data-access objects the host hands over,
// implemented over SQLite's C API. A store is a file path.
//
// Callers guarantee: one thread per connection; recordsets do not outlive the
// connection that opened them. Every failure is a ComError carrying SQLite's
// extended result code and message.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "component/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace Kestrel20ImpExp::store {

// Which SQL the statement builders render.
enum class Dialect { TSql, Sqlite };

// Cursor and lock types keep the host's numbering; the embedded store reads
// every recordset forward and ignores both, but callers state them as the
// procedures do.
enum CursorType : int { adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockType : int { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3, adLockBatchOptimistic = 4 };

class Recordset;

class Connection {
 public:
  // Opens an existing store; a missing file fails (53) and is never created.
  static std::shared_ptr<Connection> Open(const std::string& path);
  // Creates a new empty store file (fails when it exists).
  static std::shared_ptr<Connection> Create(const std::string& path);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  Dialect dialect() const { return Dialect::Sqlite; }
  const std::string& path() const { return path_; }

  // Runs a statement; it commits by itself unless a batch is open.
  // Returns the number of rows changed.
  int64_t Execute(std::string_view statement);

  // Opens a recordset on a select statement.
  std::unique_ptr<Recordset> OpenRecordset(std::string_view statement,
                                           CursorType cursor = adOpenForwardOnly,
                                           LockType lock = adLockReadOnly);

  // Batches group statements into one commit for speed. They nest, and they
  // never commit work the caller began: when a transaction is already open
  // (the caller's own), a batch is a savepoint inside it.
  void BeginBatch();
  void CommitBatch();
  void RollbackBatch();
  bool InTransaction() const;

  // Prepared-statement cache: the same text is compiled once.
  sqlite3_stmt* Prepare(std::string_view statement);
  sqlite3* handle() const { return db_; }
  [[noreturn]] void RaiseLast() const;

 private:
  Connection(sqlite3* db, std::string path);
  sqlite3* db_;
  std::string path_;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Scoped batch: commits on Commit(), rolls back when left without it.
class Batch {
 public:
  explicit Batch(Connection& c) : c_(c) { c_.BeginBatch(); }
  ~Batch() {
    if (!done_) try { c_.RollbackBatch(); } catch (...) {}
  }
  void Commit() { c_.CommitBatch(); done_ = true; }
 private:
  Connection& c_;
  bool done_ = false;
};

// The rows of a select, read forward. BOF and EOF are both true when there is
// no row. Fields are found by column name (without regard to case) or by
// index; an expression column such as "cast(ownr as varchar)" is read by index.
//
// Adding rows: AddNew starts a new row (saving a row added before and not yet
// saved), Put sets its fields, Update saves it into the one table of the
// statement ("select * from qzmap120 where 1=2"). Changing a found row: Put and
// Update on the current row change it by its rowid.
// Put accepts a Value: NULL, integers, doubles (stored as written by
// FormatDouble when the column is text) and bytes; booleans are put as 1 or 0.
class Recordset {
 public:
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  bool BOF() const { return bof_; }
  bool IsEOF() const { return eof_; }
  void MoveNext();
  void Close();

  int FieldCount() const;
  const std::string& FieldName(int index) const;
  Value Fields(std::string_view name) const;
  Value Fields(int index) const;

  // The next n rows (all when n < 0) as one text: columns joined by
  // column_sep, each row followed by row_sep, NULL as "". Moves past them.
  std::string GetString(long n, std::string_view column_sep, std::string_view row_sep);
  // Appends the same text to `out` and returns how many rows it took.
  long AppendString(std::string& out, long n, std::string_view column_sep, std::string_view row_sep);

  void AddNew();
  void Put(std::string_view name, Value v);
  void Update();

 private:
  friend class Connection;
  Recordset(Connection& c, std::string statement);
  void Step();
  int IndexOf(std::string_view name) const;

  Connection& conn_;
  std::string statement_;
  sqlite3_stmt* stmt_ = nullptr;
  bool bof_ = true;
  bool eof_ = true;
  std::vector<std::string> names_;
  struct Pending;
  std::unique_ptr<Pending> pending_;
};

}  // namespace Kestrel20ImpExp::store
