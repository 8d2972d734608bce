// Opening the SQLite handle of a store and preparing statements on it.
#include "store/sqlite/database.h"

#include <cstring>
#include <utility>

#include "store/sqlite/inserter.h"
#include "store/sqlite/store_error.h"

#include <algorithm>
#include <climits>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/lock_wait.h"
#include "store/sqlite/statement.h"

namespace kestrel::store::sqlite {
namespace {

// An import's batches are savepoints, and SQLite keeps the pages a savepoint
// may have to restore in a journal of its own, which goes to a temporary file
// once it passes this size. One batch of rows touches far less than this, and
// the journal is emptied each time a batch is released, so it stays in memory
// without writing a file, and its memory stays bounded.
constexpr int kSavepointJournalInMemory = 4 << 20;

// Set once, before SQLite starts (once started, SQLite refuses the settings
// and nothing changes): SQLite counts the memory it holds under a lock on every
// allocation, and the component never asks for those counts.
void ConfigureSqliteOnce() {
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    sqlite3_config(SQLITE_CONFIG_STMTJRNL_SPILL, kSavepointJournalInMemory);
    return true;
  }();
  (void)configured;
}

}  // namespace

Database::Database(Token, sqlite3* db, std::string location, std::chrono::milliseconds lock_wait)
    : db_(db),
      location_(std::move(location)),
      lock_wait_(lock_wait),
      shapes_(),
      cache_(db, [this](sqlite3_stmt* s) { shapes_.Forget(s); }) {}

Database::~Database() {
  cache_.Clear();
  sqlite3_close_v2(db_);
}

std::shared_ptr<Database> Database::Open(const std::string& path, int flags, std::chrono::milliseconds lock_wait) {
  ConfigureSqliteOnce();
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    int code = db ? sqlite3_extended_errcode(db) : rc;
    std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    throw StoreError(code, text + ": " + path);
  }
  sqlite3_extended_result_codes(db, 1);
  auto database = std::make_shared<Database>(Token{}, db, path, lock_wait);
  database->WaitForLocks(true);
  return database;
}

void Database::WaitForLocks(bool wait) {
  // SQLite's own wait: another program that holds the store whole (a
  // writer, or one in exclusive locking mode, whose lock keeps out readers
  // too) is waited for by every statement, its first read of the schema
  // included.
  waits_ = wait && lock_wait_.count() > 0;
  sqlite3_busy_timeout(db_, waits_ ? static_cast<int>(std::min<int64_t>(lock_wait_.count(), INT_MAX)) : 0);
}

ComError Database::Named(const ComError& e, std::string_view statement) const {
  if (waits_ && IsStoreBusy(e)) return LockNotHad(location_, statement, lock_wait_);
  if (!e.place().Empty()) return e;
  // The place names the store, and the table SQLite's message names when it
  // is one the store lacks.
  Place place;
  place.path = location_;
  constexpr std::string_view kNoSuchTable = "no such table: ";
  if (e.description().starts_with(kNoSuchTable)) place.table = e.description().substr(kNoSuchTable.size());
  return ComError(e.number(), e.description(), std::move(place));
}

void Database::RaiseLast() const { throw StoreError(db_); }

void Database::CountRowChanges(RowChangeCounts* counts) {
  counts_ = counts;
  last_counts_ = nullptr;  // the next change looks its table up afresh
  if (counts)
    sqlite3_update_hook(db_, OnRowChange, this);
  else
    sqlite3_update_hook(db_, nullptr, nullptr);
}

void Database::OnRowChange(void* self, int operation, const char* database, const char* table,
                           sqlite3_int64 /*rowid*/) {
  // Rows of temporary tables are no rows of the store.
  if (std::strcmp(database, "main") != 0) return;
  auto* d = static_cast<Database*>(self);
  if (!d->last_counts_ || d->last_table_ != table) {
    d->last_table_ = table;
    d->last_counts_ = &(*d->counts_)[d->last_table_];
  }
  if (operation == SQLITE_INSERT) {
    ++d->last_counts_->added;
    ++d->inserts_;
  }
  if (operation == SQLITE_DELETE) ++d->last_counts_->deleted;
}

void Database::UncountInsertsSince(int64_t counted) {
  if (last_counts_) last_counts_->added -= inserts_ - counted;
  inserts_ = counted;
}

void Database::Waiting(const std::shared_ptr<WaitingRows>& rows) {
  if (waiting_ == rows) return;
  SendWaiting();
  waiting_ = rows;
}

void Database::SendWaiting() {
  if (auto waiting = std::exchange(waiting_, nullptr)) waiting->Send();
}

void Database::DropWaiting() noexcept {
  if (auto waiting = std::exchange(waiting_, nullptr)) waiting->Drop();
}

std::unique_ptr<SqliteStatement> Database::Prepare(std::string_view statement) {
  SendWaiting();
  bool tail = false;
  sqlite3_stmt* s = nullptr;
  try {
    s = cache_.Acquire(statement, &tail);
  } catch (const ComError& e) {
    throw Named(e, statement);
  }
  if (tail) {
    cache_.Finalize(s);
    Raise(Ours::StatementNotSingle);
  }
  return std::make_unique<SqliteStatement>(shared_from_this(), std::string(statement), s);
}

}  // namespace kestrel::store::sqlite
