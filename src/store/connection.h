// The connection through which every statement of the component runs: a
// small stand-in for the data-access objects the host hands over. This is the
// interface only; store/open.h makes one from a location, and each backend
// (a folder of its own under store/) implements it.
//
// Callers guarantee: one thread per connection. Recordsets and prepared
// statements may outlive the connection that made them: each keeps what it
// needs of the backend alive, so a host may release them in any order. Every
// failure of the store is a ComError carrying the backend's own code and
// message; misuse of a recordset (unknown field, no current row) or of a
// write (a column the table lacks) raises one of our own numbers
// (errors_ours.h). Rows are read through forward-only recordsets and written
// through inserters and keyed updates and deletes.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "kestrel/env.h"
#include "base/value.h"
#include "kestrel/store.h"
#include "store/recordset.h"
#include "store/row_writes.h"
#include "store/statement.h"

namespace kestrel::store {

// Which SQL the statement builders render.
enum class Dialect { TSql, Sqlite, Postgres };

class Recordset;
class Statement;
struct Query;

// Reads started ahead of their use (Connection::StartReads).
class ReadsAhead {
 public:
  virtual ~ReadsAhead() = default;
  // The selects started, in order.
  virtual const std::vector<Query>& queries() const = 0;
  // Their recordsets, as OpenRecordsets opens them; a failure to start them
  // is raised here. Once only: a second call returns none.
  virtual std::vector<std::unique_ptr<Recordset>> Take() = 0;
};

// A statement whose values travel apart from its text: each placeholder in
// the text (as the dialect writes it, store/sql.h) stands for the next of
// `values`. A statement run once per object or row this way is compiled once
// and found again in the statement cache, whatever the values. In T-SQL the
// values are written into the text and `values` is empty.
struct Query {
  std::string text;
  std::vector<Value> values;
  bool operator==(const Query&) const = default;
};

// How a write unit waits for the store's write lock.
struct WriteLockOptions {
  std::chrono::milliseconds wait{30000};
  // Called once when the lock is held by another program and the wait begins.
  std::function<void()> waiting;
  // Asked while waiting and while statements run: true ends the wait (the
  // unit is not opened) or the statement running.
  std::function<bool()> interrupted;
};

class Connection {
 public:
  virtual ~Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // What store::Open or store::Create was given.
  virtual const std::string& location() const = 0;
  virtual Dialect dialect() const = 0;
  // A text as a literal of the store's SQL, between quotes.
  virtual std::string Quote(std::string_view text) const = 0;
  // The place of the n-th (1-based) bound value of a statement.
  virtual std::string Placeholder(size_t n) const = 0;

  // Runs one statement; it commits by itself unless a batch (or the caller's
  // own transaction) is open. Returns the number of rows changed. A text of
  // more than one statement raises Ours::StatementNotSingle and runs none.
  virtual int64_t Execute(std::string_view statement) = 0;
  // Runs several statements separated by ";" (schema scripts).
  virtual void ExecuteScript(const std::string& statements) = 0;

  // Opens a recordset on a select statement; its rows are read forward.
  std::unique_ptr<Recordset> OpenRecordset(std::string_view statement) { return OpenRows(statement, {}); }
  // Opens a recordset on a select with its values bound: texts as texts,
  // integers as integers. Values and placeholders must pair up (else
  // Ours::Internal).
  std::unique_ptr<Recordset> OpenRecordset(const Query& query) { return OpenRows(query.text, query.values); }
  // Opens recordsets on several selects, in order, as OpenRecordset would
  // one after the other; a server backend may send them in one round trip.
  // The first select that fails raises its error.
  std::vector<std::unique_ptr<Recordset>> OpenRecordsets(const std::vector<Query>& queries) {
    return OpenRowsTogether(queries);
  }
  // Starts selects whose rows the caller reads later, after other work on
  // this connection: inside a snapshot a server backend makes them
  // meanwhile, on a second connection reading the same snapshot; otherwise
  // they are opened when taken.
  std::unique_ptr<ReadsAhead> StartReads(std::vector<Query> queries) { return StartRowsAhead(std::move(queries)); }

  // Batches group statements into one commit for speed. They nest, and they
  // never commit work the caller began: when a transaction is already open
  // (the caller's own, a write unit or a snapshot), a batch is a savepoint
  // inside it.
  virtual void BeginBatch() = 0;
  virtual void CommitBatch() = 0;
  virtual void RollbackBatch() = 0;
  virtual bool InTransaction() const = 0;

  // Opens a write unit: a transaction that holds the store's write lock from
  // its first statement, so that what runs inside it is either committed
  // whole (CommitBatch) or not at all (RollbackBatch, or the process ending
  // first). Waits for the lock at most options.wait; false when it did not
  // get it. While the unit is open a statement waits for a lock of another
  // program (a table it locked) no longer than outside it, and once
  // options.interrupted says true the statement running fails with the
  // store's "interrupted" error. A statement after the
  // store itself ended the unit (a full disk, an I/O error) is refused rather
  // than committed on its own. No transaction may be open already.
  virtual bool BeginWriteUnit(const WriteLockOptions& options) = 0;
  // Opens a read transaction: every select until its CommitBatch or
  // RollbackBatch reads one snapshot of the store, whatever other programs
  // commit meanwhile. No transaction may be open already.
  virtual void BeginSnapshot() = 0;

  // Adds every row this connection inserts into or deletes from a table to
  // `counts` (an update counts as neither) until called with nullptr. The
  // caller keeps `counts` alive meanwhile.
  virtual void CountRowChanges(RowChangeCounts* counts) = 0;

  // The columns of a table in their order, as a write binds them; a table
  // that is not there raises the store's own error (IsMissingTable), one
  // that another program keeps locked the store's lock error.
  virtual std::vector<TableColumn> Columns(std::string_view table) = 0;
  // An inserter of rows into `table` with a value for each of `columns`
  // (store/row_writes.h); a column the table lacks raises
  // Ours::FieldNotFound.
  virtual std::unique_ptr<Inserter> Insert(std::string_view table, std::span<const std::string_view> columns) = 0;
  // Sets the columns of `set` in every row of `table` whose `key` columns
  // equal its values, and returns how many rows it changed (0 when none
  // matched). Nothing to set changes nothing.
  int64_t UpdateByKey(std::string_view table, const ColumnValues& key, const ColumnValues& set);
  // Deletes every row of `table` whose `key` columns equal its values;
  // returns how many.
  int64_t DeleteByKey(std::string_view table, const ColumnValues& key);

  // A prepared statement: the same text is compiled once and handed out again
  // after the previous holder released it.
  virtual std::unique_ptr<Statement> Prepare(std::string_view statement) = 0;

  // Whether a failure of a statement says that its table does not exist.
  virtual bool IsMissingTable(const ComError& e) const = 0;

  // Whether the connection may write the store: false when the store is open
  // read-only or the connection was made query-only.
  virtual bool CanBulkLoad() = 0;
  // Fills `table` from `data_file` (one row per CR LF line, fields separated
  // by character 1, every column of the table in its order, an empty field
  // NULL), committing every options.rows_per_batch rows. A row with another
  // number of fields than the table has columns raises
  // Ours::MalformedPackFile, a row the store refuses its error (the file and
  // line added to the text); either way the batch it belongs to is rolled
  // back, earlier batches stay, and the log and error files are written
  // before the error is raised. Inside a transaction of the caller, batches
  // are savepoints and commit nothing. A name that is no plain table name is
  // refused with the store's "no such table" error before any statement runs.
  // The data, log and error files are read and written through `env`.
  virtual BulkLoadCounts BulkLoad(Env& env, std::string_view table, const std::string& data_file,
                                  const BulkLoadOptions& options) = 0;

 protected:
  Connection() = default;
  // `values` are bound in order; the recordset keeps its own copy.
  virtual std::unique_ptr<Recordset> OpenRows(std::string_view statement, const std::vector<Value>& values) = 0;
  virtual std::vector<std::unique_ptr<Recordset>> OpenRowsTogether(const std::vector<Query>& queries) {
    std::vector<std::unique_ptr<Recordset>> opened;
    for (const auto& q : queries) opened.push_back(OpenRows(q.text, q.values));
    return opened;
  }
  virtual std::unique_ptr<ReadsAhead> StartRowsAhead(std::vector<Query> queries);
};

// Reads opened only when taken.
class ReadsOpenedWhenTaken final : public ReadsAhead {
 public:
  ReadsOpenedWhenTaken(Connection& c, std::vector<Query> queries) : c_(c), queries_(std::move(queries)) {}
  const std::vector<Query>& queries() const override { return queries_; }
  std::vector<std::unique_ptr<Recordset>> Take() override {
    if (taken_) return {};
    taken_ = true;
    return c_.OpenRecordsets(queries_);
  }

 private:
  Connection& c_;
  std::vector<Query> queries_;
  bool taken_ = false;
};

inline std::unique_ptr<ReadsAhead> Connection::StartRowsAhead(std::vector<Query> queries) {
  return std::make_unique<ReadsOpenedWhenTaken>(*this, std::move(queries));
}

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

}  // namespace kestrel::store
