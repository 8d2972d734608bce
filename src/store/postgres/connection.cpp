// Opening server stores, self-committing statements, batches as transactions
// and savepoints, write units under the store's advisory lock, snapshots, and
// bulk loading through COPY.
#include "store/postgres/connection.h"

#include <algorithm>
#include <exception>
#include <optional>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/bulk_loader.h"
#include "store/lock_wait.h"
#include "store/open.h"
#include "store/postgres/copy_sink.h"
#include "store/postgres/inserter.h"
#include "store/postgres/recordset.h"
#include "store/postgres/session.h"
#include "store/postgres/statement.h"
#include "store/postgres/store_error.h"
#include "store/postgres/values.h"
#include "store/schema.h"
#include "store/sql.h"

namespace kestrel::store::postgres {
namespace {

std::string SavepointName(size_t depth) { return fmt::format("kestrel_batch_{}", depth); }

// The store's tables that are in the connection's schema already.
std::string ExistingStoreTables(Session& s) {
  std::string names;
  for (const auto& t : Tables()) names += (names.empty() ? "" : ",") + sql::Quoted(t.name);
  return s.ControlValue(
      "select string_agg(table_name::text, ', ' order by table_name) from information_schema.tables"
      " where table_schema = current_schema() and table_name in (" + names + ")");
}

}  // namespace

std::shared_ptr<Connection> PostgresConnection::Open(const std::string& uri, std::chrono::milliseconds lock_wait) {
  return std::make_shared<PostgresConnection>(Session::Connect(uri, lock_wait));
}

std::shared_ptr<Connection> PostgresConnection::Create(const std::string& uri) {
  auto s = Session::Connect(uri, std::chrono::seconds(kDefaultLockWaitSeconds));
  const std::string existing = ExistingStoreTables(*s);
  if (!existing.empty())
    throw ComError(rt::FileAlreadyExists, fmt::format("{}: {} holds the store's tables ({})",
                                                      RuntimeErrorText(rt::FileAlreadyExists), MaskedLocation(uri),
                                                      existing));
  return std::make_shared<PostgresConnection>(std::move(s));
}

PostgresConnection::PostgresConnection(std::shared_ptr<Session> session) : s_(std::move(session)) {}

PostgresConnection::~PostgresConnection() {
  // Statements and recordsets may keep the session open after this: they
  // must find neither a count nor the unit's transaction.
  s_->CountRowChanges(nullptr);
  if (!unit_open_) return;
  s_->DropHeld();
  EndUnit();
  try {
    if (s_->InTransaction()) s_->Control("rollback");
  } catch (...) {
  }
}

const std::string& PostgresConnection::location() const { return s_->location(); }

std::string PostgresConnection::Quote(std::string_view text) const { return sql::Quoted(text); }

std::string PostgresConnection::Placeholder(size_t n) const { return sql::Placeholder(dialect(), n); }

int64_t PostgresConnection::Execute(std::string_view statement) {
  return RowsChanged(s_->RunText(SingleStatement(statement)).get());
}

void PostgresConnection::ExecuteScript(const std::string& statements) {
  s_->Run(StatementKind::Write, "", [&](PGconn* c) { return PQsendQuery(c, statements.c_str()); }, false);
}

std::unique_ptr<Recordset> PostgresConnection::OpenRows(std::string_view statement,
                                                        const std::vector<Value>& values) {
  return std::make_unique<PgRecordset>(s_, statement, values);
}

std::vector<std::unique_ptr<Recordset>> PostgresConnection::OpenRowsTogether(const std::vector<Query>& queries) {
  std::vector<PgRecordset::WholeRead> wholes;
  std::vector<Session::Send> sends;
  for (const auto& q : queries) {
    std::optional<PgRecordset::WholeRead> w = PgRecordset::PlanWhole(*s_, q.text, q.values);
    if (!w || !s_->NeedsNoSavepoint(StatementKind::Read, w->limited)) return OpenEach(queries);
    wholes.push_back(std::move(*w));
  }
  for (const auto& w : wholes)
    sends.push_back([&w](PGconn* c) {
      return PQsendQueryPrepared(c, w.prepared->name.c_str(), static_cast<int>(w.params.size()), w.params.values(),
                                 nullptr, nullptr, 0);
    });
  std::vector<Result> results = s_->RunReadsTogether(sends);
  std::vector<std::unique_ptr<Recordset>> opened;
  for (size_t i = 0; i < queries.size(); ++i) {
    // Values that find more rows than a piece go again, through a cursor.
    if (PgRecordset::IsWhole(results[i].get()))
      opened.push_back(std::make_unique<PgRecordset>(s_, std::move(results[i])));
    else
      opened.push_back(OpenRows(queries[i].text, queries[i].values));
  }
  return opened;
}

std::optional<std::vector<std::string_view>> PostgresConnection::PlainSelects(const std::vector<Query>& queries) {
  std::vector<std::string_view> selects;
  for (const Query& q : queries) {
    if (!q.values.empty()) return std::nullopt;
    selects.push_back(q.text);
  }
  return selects;
}

std::vector<std::unique_ptr<Recordset>> PostgresConnection::OpenEach(const std::vector<Query>& queries) {
  const std::optional<std::vector<std::string_view>> selects = PlainSelects(queries);
  if (!selects || !s_->InSnapshot()) return Connection::OpenRowsTogether(queries);
  return PgRecordset::StartSideBySide(PgRecordset::DeclareSideBySide(s_, *selects));
}

namespace {

// Reads declared on the snapshot's sibling session, started when taken.
class ReadsOnTheSibling final : public ReadsAhead {
 public:
  ReadsOnTheSibling(std::vector<Query> queries, std::vector<std::unique_ptr<PgRecordset>> declared)
      : queries_(std::move(queries)), declared_(std::move(declared)) {}
  const std::vector<Query>& queries() const override { return queries_; }
  std::vector<std::unique_ptr<Recordset>> Take() override {
    return PgRecordset::StartSideBySide(std::move(declared_));
  }

 private:
  std::vector<Query> queries_;
  std::vector<std::unique_ptr<PgRecordset>> declared_;
};

}  // namespace

std::unique_ptr<ReadsAhead> PostgresConnection::StartRowsAhead(std::vector<Query> queries) {
  const std::optional<std::vector<std::string_view>> selects = PlainSelects(queries);
  // Only the snapshot's own transaction can export it, not a savepoint.
  const std::shared_ptr<Session> sibling =
      selects && s_->InSnapshot() && batches_.size() == 1 ? s_->SnapshotSibling() : nullptr;
  if (!sibling) return Connection::StartRowsAhead(std::move(queries));
  try {
    std::vector<std::unique_ptr<PgRecordset>> declared = PgRecordset::DeclareSideBySide(sibling, *selects);
    return std::make_unique<ReadsOnTheSibling>(std::move(queries), std::move(declared));
  } catch (const ComError& e) {
    // A table another program locked would be waited for again.
    if (e.number() == Number(Ours::StoreLocked)) throw;
    // Opened when taken, the reads meet the failure where they always have.
    return Connection::StartRowsAhead(std::move(queries));
  }
}

std::unique_ptr<Statement> PostgresConnection::Prepare(std::string_view statement) {
  return std::make_unique<PgStatement>(s_, std::string(SingleStatement(statement)));
}

bool PostgresConnection::InTransaction() const { return s_->InTransaction(); }

void PostgresConnection::BeginBatch() {
  if (batches_.empty() && !InTransaction()) {
    // As SQLite's "begin immediate": the batch holds the write lock from
    // its start.
    s_->Control("begin");
    try {
      s_->TakeWriteLock();
    } catch (...) {
      s_->Control("rollback");
      throw;
    }
    batches_.push_back(BatchKind::Transaction);
  } else {
    s_->Control("savepoint " + SavepointName(batches_.size()));
    batches_.push_back(BatchKind::Savepoint);
  }
}

void PostgresConnection::CommitBatch() {
  if (batches_.empty()) Raise(Ours::Internal, "CommitBatch without BeginBatch");
  // A held row the store refuses fails alone, as if sent by itself: the rows
  // before it are committed with the batch, then its error is raised.
  std::exception_ptr refused;
  try {
    s_->SendHeld();
  } catch (const ComError&) {
    refused = std::current_exception();
  }
  const BatchKind kind = batches_.back();
  batches_.pop_back();
  if (kind == BatchKind::Savepoint) {
    s_->Control("release savepoint " + SavepointName(batches_.size()));
    if (refused) std::rethrow_exception(refused);
    return;
  }
  if (unit_open_) EndUnit();
  // A transaction that a failure ended answers a commit by rolling back.
  const bool failed = PQtransactionStatus(s_->conn()) == PQTRANS_INERROR;
  s_->Control("commit");
  s_->ForgetWriteLock();
  if (failed)
    throw StoreError("25P02", "The store rolled the transaction back after an earlier failure: " +
                                  MaskedLocation(location()));
  if (refused) std::rethrow_exception(refused);
}

void PostgresConnection::RollbackBatch() {
  if (batches_.empty()) Raise(Ours::Internal, "RollbackBatch without BeginBatch");
  const BatchKind kind = batches_.back();
  batches_.pop_back();
  // Rows held back since the last statement belong to what is rolled back.
  s_->DropHeld();
  if (kind == BatchKind::Transaction) {
    // The rollback itself must not be interrupted.
    if (unit_open_) EndUnit();
    if (InTransaction()) s_->Control("rollback");
    s_->ForgetWriteLock();
  } else if (InTransaction()) {
    const std::string name = SavepointName(batches_.size());
    s_->Control("rollback to savepoint " + name + "; release savepoint " + name);
    s_->ForgetWriteLock();
  }
}

bool PostgresConnection::BeginWriteUnit(const WriteLockOptions& options) {
  if (InTransaction() || !batches_.empty()) Raise(Ours::Internal, "A write unit cannot open inside a transaction");
  s_->Control("begin");
  try {
    if (!WaitForWriteLock(options, [&] { return s_->TryWriteLock(); })) {
      s_->Control("rollback");
      return false;
    }
  } catch (...) {
    try {
      s_->Control("rollback");
    } catch (...) {
    }
    throw;
  }
  batches_.push_back(BatchKind::Transaction);
  unit_open_ = true;
  s_->SetInterrupted(options.interrupted);
  return true;
}

void PostgresConnection::EndUnit() {
  unit_open_ = false;
  s_->SetInterrupted(nullptr);
}

void PostgresConnection::BeginSnapshot() {
  if (InTransaction() || !batches_.empty()) Raise(Ours::Internal, "A snapshot cannot open inside a transaction");
  s_->BeginSnapshot();
  batches_.push_back(BatchKind::Transaction);
}

void PostgresConnection::CountRowChanges(RowChangeCounts* counts) { s_->CountRowChanges(counts); }

std::vector<TableColumn> PostgresConnection::Columns(std::string_view table) { return TableColumns(*s_, table); }

std::unique_ptr<Inserter> PostgresConnection::Insert(std::string_view table,
                                                     std::span<const std::string_view> columns) {
  return std::make_unique<PgInserter>(s_, table, columns);
}

bool PostgresConnection::IsMissingTable(const ComError& e) const {
  return e.number() == SqlStateNumber(kUndefinedTable);
}

bool PostgresConnection::CanBulkLoad() { return s_->ControlValue("show transaction_read_only") == "off"; }

BulkLoadCounts PostgresConnection::BulkLoad(Env& env, std::string_view table, const std::string& data_file,
                                            const BulkLoadOptions& options) {
  const auto no_such_table = [&] {
    return ComError(SqlStateNumber(kUndefinedTable), fmt::format("no such table: {}", table));
  };
  if (!IsPlainTableName(table)) throw no_such_table();
  std::vector<bool> binary;
  std::string copy = "copy " + std::string(table) + " (";
  try {
    const auto columns = TableColumns(*s_, table);
    for (size_t i = 0; i < columns.size(); ++i) {
      binary.push_back(columns[i].binary);
      copy += (i ? ", " : "") + columns[i].name;
    }
  } catch (const ComError& e) {
    if (IsMissingTable(e)) throw no_such_table();
    throw;
  }
  CopySink sink(s_, std::string(table), copy + ") from stdin", binary);
  return LoadRows(env, *this, table, data_file, options, binary.size(), sink);
}

}  // namespace kestrel::store::postgres
