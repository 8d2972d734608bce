// The store connection over a SQLite file: what store::Open and store::Create
// make from a file path.
//
// Stores are written in write-ahead-log mode: copy a store file only while no
// connection is open on it.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "store/connection.h"

namespace kestrel::store::sqlite {

class Database;

class SqliteConnection final : public Connection {
 public:
  // Opens an existing store; a missing file fails with 53 "File not found: "
  // + path and is never created. A file that is not a store fails with
  // SQLite's code 26. Outside a write unit every statement waits at most
  // `lock_wait` for another program's lock on the store (store::Open).
  static std::shared_ptr<Connection> Open(const std::string& path, std::chrono::milliseconds lock_wait);
  // Creates a new empty store file; fails with 58 when the file exists.
  static std::shared_ptr<Connection> Create(const std::string& path);

  explicit SqliteConnection(std::shared_ptr<Database> db);
  ~SqliteConnection() override;

  const std::string& location() const override;
  Dialect dialect() const override { return Dialect::Sqlite; }
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

 private:
  enum class BatchKind { Transaction, Savepoint };
  // SQLite's progress callback while a write unit is open.
  static int OnProgress(void* self);
  // Refuses a statement once the store has ended an open write unit itself.
  void CheckUnitAlive() const;
  // Back to waiting for locks, without the progress callback.
  void EndUnit();
  std::shared_ptr<Database> db_;
  std::vector<BatchKind> batches_;
  bool unit_open_ = false;
  WriteLockOptions unit_;
  bool counts_ = false;  // row changes are counted
};

}  // namespace kestrel::store::sqlite
