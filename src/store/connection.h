// The connection and recordset through which every statement of the component
// runs: a small stand-in for the data-access objects the host hands over,
// implemented over SQLite's C API. A store is a file path.
//
// Callers guarantee: one thread per connection; recordsets and prepared
// statements do not outlive the connection that made them. Every failure of
// the store is a ComError carrying SQLite's extended result code and message;
// misuse of a recordset (unknown field, no current row, a row that cannot be
// added or changed) raises one of our own numbers (errors_ours.h).
//
// Stores are written in write-ahead-log mode: copy a store file only while no
// connection is open on it.
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
class Statement;
struct ResultColumns;

// A statement whose values travel apart from its text: each "?" in the text
// stands for the next of `values`. A statement run once per object or row
// this way is compiled once and found again in the statement cache, whatever
// the values. Builders render it for a dialect (store/sql.h); in T-SQL the
// values are written into the text and `values` is empty.
struct Query {
  std::string text;
  std::vector<Value> values;
};

class Connection {
 public:
  // Opens an existing store; a missing file fails with 53 "File not found: "
  // + path and is never created. A file that is not a store fails with
  // SQLite's code 26.
  static std::shared_ptr<Connection> Open(const std::string& path);
  // Creates a new empty store file; fails with 58 when the file exists.
  static std::shared_ptr<Connection> Create(const std::string& path);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  Dialect dialect() const { return Dialect::Sqlite; }
  const std::string& path() const { return path_; }

  // Runs one statement; it commits by itself unless a batch (or the caller's
  // own transaction) is open. Returns the number of rows changed.
  int64_t Execute(std::string_view statement);
  // Runs several statements separated by ";" (schema scripts).
  void ExecuteScript(const std::string& statements);

  // Opens a recordset on a select statement.
  std::unique_ptr<Recordset> OpenRecordset(std::string_view statement,
                                           CursorType cursor = adOpenForwardOnly,
                                           LockType lock = adLockReadOnly);
  // Opens a recordset on a select with its values bound: texts as texts,
  // integers as integers.
  std::unique_ptr<Recordset> OpenRecordset(const Query& query, CursorType cursor = adOpenForwardOnly,
                                           LockType lock = adLockReadOnly);

  // Batches group statements into one commit for speed. They nest, and they
  // never commit work the caller began: when a transaction is already open
  // (the caller's own), a batch is a savepoint inside it.
  void BeginBatch();
  void CommitBatch();
  void RollbackBatch();
  bool InTransaction() const;
  // Commits what the connection holds uncommitted (open batches, or a
  // transaction the caller began), so that another connection, such as a
  // bulk loader in its own process, can write the store without waiting.
  // Then opens them again, without taking a lock, so that batches still pair
  // up; a later rollback only undoes what came after this commit.
  void CommitHeld();

  // A prepared statement from the cache: the same text is compiled once and
  // handed out again after the previous holder released it.
  Statement Prepare(std::string_view statement);

  sqlite3* handle() const { return db_; }
  [[noreturn]] void RaiseLast() const;

 private:
  friend class Statement;
  friend class Recordset;
  Connection(sqlite3* db, std::string path);
  sqlite3_stmt* Acquire(std::string_view statement, bool* has_tail);
  void Release(std::string_view statement, sqlite3_stmt* stmt) noexcept;

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
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;
  void Commit() { c_.CommitBatch(); done_ = true; }
 private:
  Connection& c_;
  bool done_ = false;
};

// A prepared statement borrowed from the connection's cache; returned to it
// (reset, bindings cleared) when destroyed. Parameters are 1-based.
// Bind takes the same values as Recordset::Put: NULL, integers, doubles and
// texts (bound as text unless `as_blob`).
class Statement {
 public:
  Statement(Statement&& o) noexcept;
  Statement& operator=(Statement&&) = delete;
  Statement(const Statement&) = delete;
  ~Statement();

  void Bind(int index, const Value& v, bool as_blob = false);
  // Binds a text without copying it: `v` must stay as it is until the
  // statement is reset or returned to the cache.
  void BindKept(int index, const Value& v);
  // Steps once: true when a row is ready, false when the statement is done.
  bool Step();
  // Steps to the end, resets, and returns the number of rows changed.
  int64_t Run();
  void Reset();
  sqlite3_stmt* get() const { return stmt_; }

 private:
  friend class Connection;
  Statement(Connection& c, std::string text, sqlite3_stmt* stmt);
  void BindValue(int index, const Value& v, bool as_blob, bool copy);
  Connection* conn_;
  std::string text_;
  sqlite3_stmt* stmt_;
};

// The rows of a select, read forward. BOF and EOF are both true when there is
// no row. Fields are found by column name (without regard to case) or by
// 0-based index; an expression column such as "cast(ownr as varchar)", whose
// name depends on the dialect, is read by index.
//
// Values: integers come back as integers, doubles as doubles, texts and
// binary values as their bytes, NULL as a NULL Value.
//
// Adding rows: AddNew starts a new row (saving first a row added or changed
// before and not yet saved), Put sets its fields, Update saves it into the one
// table of the statement ("select * from qzmap120 where 1=2"). A statement
// over more than one table cannot add rows. Columns not put keep the table's
// default. After Update the added row stays the current one until the next
// AddNew or MoveNext: a further Put and Update change it.
// Changing a found row: Put and Update on the current row change it in place
// (by its rowid, which "select * from <table>" statements carry unseen).
// MoveNext saves a pending row first; Close and destruction discard it.
//
// What Put accepts (a Value):
//   - NULL: stored as NULL;
//   - an integer (also a bool, which converts to 1 or 0): stored as an integer
//     in integer columns and as its decimal text in text columns;
//   - a double: stored as a number in numeric columns and, in text columns,
//     as FormatDouble writes it (shortest form that reads back equal, "3" for
//     3.0);
//   - bytes: stored as text, or as a blob in binary (BLOB) columns.
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
  // Appends the text of a field of the current row to `out` ("" for NULL),
  // as GetString writes it, without building a Value.
  void AppendField(std::string& out, int index) const;
  // The bytes of a text or binary field of the current row, without copying
  // them: true and `out` set, valid until the recordset moves on. False for
  // NULL and numbers, and while a row is being added or changed.
  bool ViewText(int index, std::string_view& out) const;

  // The next n rows (all when n < 0), starting with the current one, as one
  // text: columns joined by column_sep, each row followed by row_sep, NULL as
  // "". Moves past them.
  std::string GetString(long n, std::string_view column_sep, std::string_view row_sep);
  // Appends the same text to `out` and returns how many rows it took.
  long AppendString(std::string& out, long n, std::string_view column_sep, std::string_view row_sep);

  void AddNew();
  void Put(std::string_view name, const Value& v);
  // Put by the 0-based position of the field, as IndexOf gives it: a loader
  // that puts the same columns row after row looks their names up once.
  // A position outside the fields raises Ours::FieldNotFound.
  void Put(int index, const Value& v);
  void Update();

  // The position of a field found by name without regard to case; a name the
  // statement does not read raises Ours::FieldNotFound.
  int IndexOf(std::string_view name) const;

  // The one table the statement reads ("" when it names none or several).
  const std::string& TargetTable() const { return table_; }

 private:
  friend class Connection;
  Recordset(Connection& c, std::string_view statement, const std::vector<Value>& values);
  void Step();
  void RequireRow() const;
  void SaveEdit();
  void DiscardEdit();

  Connection& conn_;
  std::unique_ptr<Statement> stmt_;
  std::vector<Value> values_;  // bound to the statement's parameters, not copied
  bool bof_ = true;
  bool eof_ = true;
  bool closed_ = false;
  bool hidden_rowid_ = false;  // the last result column is the row's rowid
  bool several_tables_ = false;
  std::string table_;
  // Names and kinds of the columns, shared by every recordset on the same
  // prepared statement.
  std::shared_ptr<const ResultColumns> columns_;
  struct Edit;
  std::unique_ptr<Edit> edit_;
};

}  // namespace Kestrel20ImpExp::store
