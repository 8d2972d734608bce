// Opening SQLite stores, self-committing statements, batches as transactions
// and savepoints, and bulk loading through prepared inserts.
#include "store/sqlite/connection.h"

#include <sys/stat.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/bulk_loader.h"
#include "store/sql.h"
#include "store/sqlite/database.h"
#include "store/sqlite/recordset.h"
#include "store/sqlite/statement.h"

namespace kestrel::store::sqlite {
namespace {

std::string SavepointName(size_t depth) { return "kestrel_batch_" + std::to_string(depth); }

// SQLite opens the store's file itself, not through the Env, so the look
// before it is the system's too.
enum class PathKind { None, File, Folder };
PathKind KindOf(const std::string& path) {
  struct stat st{};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return PathKind::None;
  if (S_ISREG(st.st_mode)) return PathKind::File;
  return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::None;
}

// Table names come from the command line of `bcp` too: anything but a plain
// name is no table of the store.
void CheckTableName(std::string_view table) {
  bool plain = !table.empty();
  for (char c : table)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) plain = false;
  if (!plain) throw ComError(SQLITE_ERROR, "no such table: " + std::string(table));
}

}  // namespace

std::shared_ptr<Connection> SqliteConnection::Open(const std::string& path) {
  // The store's own message names the path: a missing store is a setup fault.
  if (KindOf(path) != PathKind::File)
    throw ComError(rt::FileNotFound, std::string(RuntimeErrorText(rt::FileNotFound)) + ": " + path);
  auto c = std::make_shared<SqliteConnection>(Database::Open(path, SQLITE_OPEN_READWRITE));
  try {
    // Reading the schema proves that the file is a store.
    c->Execute("pragma schema_version");
  } catch (const ComError& e) {
    throw ComError(e.number(), e.description() + ": " + path);
  }
  c->Execute("pragma synchronous=NORMAL");
  return c;
}

std::shared_ptr<Connection> SqliteConnection::Create(const std::string& path) {
  if (KindOf(path) != PathKind::None)
    throw ComError(rt::FileAlreadyExists, std::string(RuntimeErrorText(rt::FileAlreadyExists)) + ": " + path);
  auto c = std::make_shared<SqliteConnection>(Database::Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
  c->Execute("pragma journal_mode=WAL");
  c->Execute("pragma synchronous=NORMAL");
  return c;
}

SqliteConnection::SqliteConnection(std::shared_ptr<Database> db) : db_(std::move(db)) {}

SqliteConnection::~SqliteConnection() = default;

const std::string& SqliteConnection::location() const { return db_->location(); }

std::string SqliteConnection::Quote(std::string_view text) const { return sql::Quoted(text); }

std::string SqliteConnection::Placeholder(size_t n) const { return sql::Placeholder(dialect(), n); }

std::unique_ptr<Statement> SqliteConnection::Prepare(std::string_view statement) { return db_->Prepare(statement); }

int64_t SqliteConnection::Execute(std::string_view statement) { return db_->Prepare(statement)->Run(); }

void SqliteConnection::ExecuteScript(const std::string& statements) {
  char* err = nullptr;
  sqlite3* db = db_->handle();
  if (sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string text = err ? err : sqlite3_errmsg(db);
    sqlite3_free(err);
    throw ComError(sqlite3_extended_errcode(db), text);
  }
}

std::unique_ptr<Recordset> SqliteConnection::OpenRows(std::string_view statement, const std::vector<Value>& values) {
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
  BatchKind kind = batches_.back();
  batches_.pop_back();
  if (kind == BatchKind::Transaction)
    Execute("commit");
  else
    Execute("release " + SavepointName(batches_.size()));
}

void SqliteConnection::RollbackBatch() {
  if (batches_.empty()) Raise(Ours::Internal, "RollbackBatch without BeginBatch");
  BatchKind kind = batches_.back();
  batches_.pop_back();
  if (kind == BatchKind::Transaction) {
    if (InTransaction()) Execute("rollback");
  } else {
    const std::string name = SavepointName(batches_.size());
    Execute("rollback to " + name);
    Execute("release " + name);
  }
}

void SqliteConnection::CommitHeld() {
  if (!InTransaction()) return;
  Execute("commit");
  // "begin" is deferred: nothing is locked until the next read or write.
  Execute("begin");
  for (size_t i = 0; i < batches_.size(); ++i)
    if (batches_[i] == BatchKind::Savepoint) Execute("savepoint " + SavepointName(i));
}

bool SqliteConnection::CanBulkLoad() {
  if (sqlite3_db_readonly(db_->handle(), "main") != 0) return false;
  auto query_only = db_->Prepare("pragma query_only");
  return !(query_only->Step() && sqlite3_column_int(query_only->get(), 0) != 0);
}

BulkLoadCounts SqliteConnection::BulkLoad(Env& env, std::string_view table, const std::string& data_file,
                                          const BulkLoadOptions& options) {
  CheckTableName(table);
  return LoadRowByRow(env, *this, table, data_file, options);
}

size_t SqliteConnection::CompiledStatements() const { return db_->CompiledStatements(); }

}  // namespace kestrel::store::sqlite
