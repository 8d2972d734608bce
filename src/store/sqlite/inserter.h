// The inserter of a SQLite store: rows wait in groups and go in with one
// insert of several rows each, which costs SQLite less per row than a
// statement each; the rest of a group, or a group the store refused, go one
// by one, so that a refused row fails alone after the rows before it.
// Waiting rows go before any other statement of the connection (the
// Database sends them, also once their inserter is gone), and a rollback
// drops them. Outside a transaction each row goes at once and commits by
// itself.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/row_writes.h"
#include "store/sqlite/statement.h"

namespace kestrel::store::sqlite {

class Database;

// The columns of `table` as its declared types make them; a table that is
// not there raises SQLite's "no such table" error.
std::vector<TableColumn> TableColumns(Database& db, std::string_view table);

// The rows of one inserter that wait, and the statements that send them.
class WaitingRows {
 public:
  WaitingRows(Database& db, std::string_view table, std::span<const std::string_view> columns);
  // Copies the row to wait; a value ValueFor refuses raises, and the row
  // does not wait.
  void Take(std::span<const Value* const> row);
  bool empty() const { return rows_ == 0; }
  bool full() const { return rows_ == kGroupRows; }
  // Sends every waiting row; raises the store's error for a refused one,
  // the rows after it dropped.
  void Send();
  // Forgets the waiting rows, and the statements (which hold the store).
  void Drop() noexcept;

  // Rows that go with one statement: many enough that a statement's start
  // and end cost little, few enough that their parameters stay far below
  // the store's limit whatever the table's width.
  static constexpr size_t kGroupRows = 16;

 private:
  // Binds the waiting row `r` from parameter `first` on; its values stay
  // where they wait until the statement ran.
  void BindRow(SqliteStatement& st, int first, size_t r);

  Database& db_;
  std::string table_;
  std::vector<TableColumn> columns_;
  std::vector<std::string_view> names_;
  // The waiting rows' values: their storage is reused row after row.
  std::vector<std::vector<Value>> waiting_;
  size_t rows_ = 0;
  std::unique_ptr<SqliteStatement> one_, group_;
};

class SqliteInserter final : public Inserter {
 public:
  SqliteInserter(std::shared_ptr<Database> db, std::string_view table, std::span<const std::string_view> columns);
  using Inserter::Add;
  void Add(std::span<const Value* const> row) override;
  void Flush() override;

 private:
  std::shared_ptr<Database> db_;
  std::shared_ptr<WaitingRows> rows_;
  size_t width_;
};

}  // namespace kestrel::store::sqlite
