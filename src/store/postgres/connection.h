// The store connection over a PostgreSQL server: what store::Open and
// store::Create make from a "postgresql://" or "postgres://" URI (any libpq
// connection URI; the store's tables live in the schema the URI's options
// put first on the search_path, else the database's default). Passwords come
// from libpq's usual places (the URI, PGPASSWORD, ~/.pgpass).
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string_view>
#include <string>
#include <vector>

#include "store/connection.h"

namespace kestrel::store::postgres {

class Session;

class PostgresConnection final : public Connection {
 public:
  // Connects to the store at `uri`; a server that cannot be reached fails
  // with its message, the location masked. Every statement waits at most
  // `lock_wait` for a lock another program holds (store::Open).
  static std::shared_ptr<Connection> Open(const std::string& uri, std::chrono::milliseconds lock_wait);
  // As Open, and fails with 58 when the store's tables are there already.
  static std::shared_ptr<Connection> Create(const std::string& uri);

  explicit PostgresConnection(std::shared_ptr<Session> session);
  ~PostgresConnection() override;

  const std::string& location() const override;
  Dialect dialect() const override { return Dialect::Postgres; }
  std::string Quote(std::string_view text) const override;
  std::string Placeholder(size_t n) const override;

  int64_t Execute(std::string_view statement) override;
  void ExecuteScript(const std::string& statements) override;

  void BeginBatch() override;
  void CommitBatch() override;
  void RollbackBatch() override;
  bool InTransaction() const override;
  bool BeginWriteUnit(const WriteLockOptions& options) override;
  void BeginSnapshot() override;
  void CountRowChanges(RowChangeCounts* counts) override;

  std::unique_ptr<Statement> Prepare(std::string_view statement) override;
  std::vector<TableColumn> Columns(std::string_view table) override;
  std::unique_ptr<Inserter> Insert(std::string_view table, std::span<const std::string_view> columns) override;

  bool IsMissingTable(const ComError& e) const override;
  bool CanBulkLoad() override;
  BulkLoadCounts BulkLoad(Env& env, std::string_view table, const std::string& data_file,
                          const BulkLoadOptions& options) override;

 protected:
  std::unique_ptr<Recordset> OpenRows(std::string_view statement, const std::vector<Value>& values) override;
  // In a snapshot, selects that ran there before and run whole go in one
  // round trip; selects without parameters side by side
  // (PgRecordset::DeclareSideBySide); any other set one by one.
  std::vector<std::unique_ptr<Recordset>> OpenRowsTogether(const std::vector<Query>& queries) override;
  // In a snapshot, selects without parameters are declared side by side on
  // the snapshot's sibling session (Session::SnapshotSibling), which makes
  // them while this one reads other rows.
  std::unique_ptr<ReadsAhead> StartRowsAhead(std::vector<Query> queries) override;

 private:
  enum class BatchKind { Transaction, Savepoint };
  void EndUnit();
  std::vector<std::unique_ptr<Recordset>> OpenEach(const std::vector<Query>& queries);
  // The selects of `queries` when none has values.
  static std::optional<std::vector<std::string_view>> PlainSelects(const std::vector<Query>& queries);
  std::shared_ptr<Session> s_;
  std::vector<BatchKind> batches_;
  bool unit_open_ = false;
};

}  // namespace kestrel::store::postgres
