// Opening SQLite stores, self-committing statements, batches as transactions
// and savepoints, and bulk loading through prepared inserts.
#include "store/sqlite/connection.h"
#include "store/sqlite/store_error.h"

#include <sys/stat.h>

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <optional>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/bulk_loader.h"
#include "store/lock_wait.h"
#include "store/sql.h"
#include "store/sqlite/database.h"
#include "store/sqlite/inserter.h"
#include "store/sqlite/recordset.h"
#include "store/sqlite/statement.h"

namespace kestrel::store::sqlite {
namespace {

// How often a statement inside a write unit asks whether to stop, in
// SQLite's virtual machine steps: often enough to stop within milliseconds,
// seldom enough to cost nothing measurable.
constexpr int kStepsBetweenInterruptChecks = 1000;
// The page cache of a load that commits its own batches, in KiB (SQLite's
// default is 2000). Between two commits such a load changes the last pages of
// the table and of its indexes, whose keys (the application's code, then the
// row's number) arrive in order; a batch of a few thousand rows dirties a few
// dozen pages. A larger cache fills with pages that are never read again, each
// a fresh page of memory for the process to fault in: in a bulk copy process,
// which loads one file and exits, that was a third of its page faults.
constexpr int kLoadCacheKiB = 256;


std::string SavepointName(size_t depth) { return fmt::format("kestrel_batch_{}", depth); }

// SQLite opens the store's file itself, not through the Env, so the look
// before it is the system's too.
enum class PathKind { None, File, Folder };
PathKind KindOf(const std::string& path) {
  struct stat st{};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return PathKind::None;
  if (S_ISREG(st.st_mode)) return PathKind::File;
  return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::None;
}

}  // namespace

std::shared_ptr<Connection> SqliteConnection::Open(const std::string& path, std::chrono::milliseconds lock_wait) {
  // The store's own message names the path: a missing store is a setup fault.
  const PathKind kind = KindOf(path);
  if (kind == PathKind::Folder)
    throw ComError(rt::FileNotFound,
                   fmt::format("{}: {} is a folder, not a store file", RuntimeErrorText(rt::FileNotFound), path));
  if (kind != PathKind::File)
    throw ComError(rt::FileNotFound, fmt::format("{}: {}", RuntimeErrorText(rt::FileNotFound), path));
  auto c = std::make_shared<SqliteConnection>(Database::Open(path, SQLITE_OPEN_READWRITE, lock_wait));
  try {
    // Reading the schema proves that the file is a store. It is where a
    // store that another program holds whole is first waited for.
    c->Execute("pragma schema_version");
  } catch (const ComError& e) {
    if (IsStoreBusy(e)) throw;  // it names the store already
    throw ComError(e.number(), fmt::format("{}: {}", e.description(), path));
  }
  c->Execute("pragma synchronous=NORMAL");
  return c;
}

std::shared_ptr<Connection> SqliteConnection::Create(const std::string& path) {
  if (KindOf(path) != PathKind::None)
    throw ComError(rt::FileAlreadyExists, fmt::format("{}: {}", RuntimeErrorText(rt::FileAlreadyExists), path));
  auto c = std::make_shared<SqliteConnection>(Database::Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                                                    std::chrono::seconds(kDefaultLockWaitSeconds)));
  c->Execute("pragma journal_mode=WAL");
  c->Execute("pragma synchronous=NORMAL");
  return c;
}

SqliteConnection::SqliteConnection(std::shared_ptr<Database> db) : db_(std::move(db)) {}

SqliteConnection::~SqliteConnection() {
  // Statements may keep the handle open after this: they must find neither
  // a callback into this object nor the unit's transaction.
  if (counts_) CountRowChanges(nullptr);
  // Rows still waiting belong to a transaction that ends unfinished; they
  // hold the store's statements, which hold the handle.
  db_->DropWaiting();
  if (!unit_open_) return;
  EndUnit();
  try {
    if (InTransaction()) db_->Prepare("rollback")->Run();
  } catch (...) {
  }
}

const std::string& SqliteConnection::location() const { return db_->location(); }

std::string SqliteConnection::Quote(std::string_view text) const { return sql::Quoted(text); }

std::string SqliteConnection::Placeholder(size_t n) const { return sql::Placeholder(dialect(), n); }

std::unique_ptr<Statement> SqliteConnection::Prepare(std::string_view statement) {
  CheckUnitAlive();
  return db_->Prepare(statement);
}

std::vector<TableColumn> SqliteConnection::Columns(std::string_view table) {
  CheckUnitAlive();
  return TableColumns(*db_, table);
}

std::unique_ptr<Inserter> SqliteConnection::Insert(std::string_view table, std::span<const std::string_view> columns) {
  CheckUnitAlive();
  return std::make_unique<SqliteInserter>(db_, table, columns);
}

int64_t SqliteConnection::Execute(std::string_view statement) {
  CheckUnitAlive();
  return db_->Prepare(statement)->Run();
}

void SqliteConnection::CheckUnitAlive() const {
  // After a full disk, an I/O error or an interruption SQLite may roll the
  // whole transaction back on its own; a statement run then would commit by
  // itself, outside the unit.
  if (unit_open_ && !InTransaction())
    throw ComError(SQLITE_ABORT,
                   fmt::format("The store rolled the transaction back after an earlier failure: {}", location()));
}

void SqliteConnection::ExecuteScript(const std::string& statements) {
  db_->SendWaiting();
  char* err = nullptr;
  sqlite3* db = db_->handle();
  if (sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string text = err ? err : sqlite3_errmsg(db);
    sqlite3_free(err);
    throw db_->Named(StoreError(sqlite3_extended_errcode(db), text), statements);
  }
}

std::unique_ptr<Recordset> SqliteConnection::OpenRows(std::string_view statement, const std::vector<Value>& values) {
  CheckUnitAlive();
  return std::make_unique<SqliteRecordset>(db_, statement, values);
}

bool SqliteConnection::InTransaction() const { return sqlite3_get_autocommit(db_->handle()) == 0; }

void SqliteConnection::BeginBatch() {
  if (batches_.empty() && !InTransaction()) {
    Execute("begin immediate");
    batches_.push_back(BatchKind::Transaction);
  } else {
    Execute("savepoint " + SavepointName(batches_.size()));
    batches_.push_back(BatchKind::Savepoint);
  }
}

void SqliteConnection::CommitBatch() {
  if (batches_.empty()) Raise(Ours::Internal, "CommitBatch without BeginBatch");
  // A waiting row the store refuses fails alone, as if sent by itself: the
  // rows before it are committed with the batch, then its error is raised.
  std::exception_ptr refused;
  try {
    db_->SendWaiting();
  } catch (const ComError&) {
    refused = std::current_exception();
  }
  BatchKind kind = batches_.back();
  if (kind == BatchKind::Savepoint) {
    batches_.pop_back();
    Execute("release " + SavepointName(batches_.size()));
    if (refused) std::rethrow_exception(refused);
    return;
  }
  if (unit_open_) {
    // A store without a write-ahead log commits only once its readers are
    // done: that wait is bounded by the unit's own.
    WriteLockOptions readers_done;
    readers_done.wait = unit_.wait;
    std::exception_ptr busy;
    const bool committed = WaitForWriteLock(readers_done, [&] {
      try {
        Execute("commit");
        return true;
      } catch (const ComError& e) {
        if (!IsStoreBusy(e)) throw;
        busy = std::current_exception();
        return false;
      }
    });
    if (!committed) std::rethrow_exception(busy);
    batches_.pop_back();
    EndUnit();
    if (refused) std::rethrow_exception(refused);
    return;
  }
  batches_.pop_back();
  Execute("commit");
  if (refused) std::rethrow_exception(refused);
}

void SqliteConnection::RollbackBatch() {
  if (batches_.empty()) Raise(Ours::Internal, "RollbackBatch without BeginBatch");
  BatchKind kind = batches_.back();
  batches_.pop_back();
  // Rows waiting since the last statement belong to what is rolled back.
  db_->DropWaiting();
  if (kind == BatchKind::Transaction) {
    // The rollback itself must not be interrupted.
    if (unit_open_) EndUnit();
    if (InTransaction()) Execute("rollback");
  } else if (InTransaction()) {
    const std::string name = SavepointName(batches_.size());
    Execute("rollback to " + name);
    Execute("release " + name);
  }
}

bool SqliteConnection::BeginWriteUnit(const WriteLockOptions& options) {
  if (InTransaction() || !batches_.empty()) Raise(Ours::Internal, "A write unit cannot open inside a transaction");
  // The wait is ours: SQLite's own would neither say that it waits nor
  // notice an interruption.
  db_->WaitForLocks(false);
  bool locked = false;
  try {
    locked = WaitForWriteLock(options, [&] {
      try {
        Execute("begin immediate");
        return true;
      } catch (const ComError& e) {
        if (!IsStoreBusy(e)) throw;
        return false;
      }
    });
  } catch (...) {
    db_->WaitForLocks(true);
    throw;
  }
  if (!locked) {
    db_->WaitForLocks(true);
    return false;
  }
  batches_.push_back(BatchKind::Transaction);
  unit_ = options;
  unit_open_ = true;
  if (unit_.interrupted) sqlite3_progress_handler(db_->handle(), kStepsBetweenInterruptChecks, OnProgress, this);
  return true;
}

int SqliteConnection::OnProgress(void* self) {
  const auto* c = static_cast<const SqliteConnection*>(self);
  return c->unit_.interrupted && c->unit_.interrupted() ? 1 : 0;
}

void SqliteConnection::EndUnit() {
  unit_open_ = false;
  sqlite3_progress_handler(db_->handle(), 0, nullptr, nullptr);
  unit_ = WriteLockOptions{};
  db_->WaitForLocks(true);
}

void SqliteConnection::CountRowChanges(RowChangeCounts* counts) {
  counts_ = counts != nullptr;
  db_->CountRowChanges(counts);
}

void SqliteConnection::BeginSnapshot() {
  if (InTransaction() || !batches_.empty()) Raise(Ours::Internal, "A snapshot cannot open inside a transaction");
  Execute("begin");
  batches_.push_back(BatchKind::Transaction);
  // A deferred transaction reads its snapshot at its first read: take it now,
  // before anything else commits.
  Execute("select count(*) from sqlite_master");
}

bool SqliteConnection::IsMissingTable(const ComError& e) const {
  return e.number() == SQLITE_ERROR && e.description().rfind("no such table", 0) == 0;
}

bool SqliteConnection::CanBulkLoad() {
  if (sqlite3_db_readonly(db_->handle(), "main") != 0) return false;
  auto query_only = db_->Prepare("pragma query_only");
  return !(query_only->Step() && sqlite3_column_int(query_only->get(), 0) != 0);
}

BulkLoadCounts SqliteConnection::BulkLoad(Env& env, std::string_view table, const std::string& data_file,
                                          const BulkLoadOptions& options) {
  if (!IsPlainTableName(table)) throw ComError(SQLITE_ERROR, fmt::format("no such table: {}", table));
  // Inside the caller's transaction the load's pages stay dirty until the
  // caller commits: the cache is the caller's to size.
  if (InTransaction()) return LoadRowByRow(env, *this, table, data_file, options);
  std::optional<int64_t> before;
  if (auto size = db_->Prepare("pragma cache_size"); size->Step()) {
    const Value pages = size->Column(0);
    if (const int64_t* n = pages.AsInteger()) before = *n;
  }
  Execute(fmt::format("pragma cache_size=-{}", kLoadCacheKiB));
  // The connection may go on to other work: it gets its cache back.
  struct Restore {
    SqliteConnection& c;
    std::optional<int64_t> size;
    ~Restore() {
      if (!size) return;
      try {
        c.Execute(fmt::format("pragma cache_size={}", *size));
      } catch (...) {
      }
    }
  } restore{*this, before};
  return LoadRowByRow(env, *this, table, data_file, options);
}

}  // namespace kestrel::store::sqlite
