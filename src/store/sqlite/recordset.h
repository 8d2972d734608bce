// The recordset over a SQLite select: rows read forward from a cached
// statement, rows added to or changed in the select's one table. It shares
// ownership of the handle, so it stays usable when the connection that made
// it is released first.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/recordset.h"
#include "store/sqlite/shape.h"
#include "store/sqlite/statement.h"

namespace kestrel::store::sqlite {

class Database;

class SqliteRecordset final : public Recordset {
 public:
  // Runs `statement` with `values` bound in order; the recordset keeps its
  // own copy of them.
  SqliteRecordset(std::shared_ptr<Database> db, std::string_view statement, const std::vector<Value>& values);
  ~SqliteRecordset() override;

  using Recordset::Fields;
  using Recordset::Put;

  bool BOF() const override { return bof_; }
  bool IsEOF() const override { return eof_; }
  void MoveNext() override;
  void Close() override;
  int FieldCount() const override;
  const std::string& FieldName(int index) const override;
  int IndexOf(std::string_view name) const override;
  Value Fields(int index) const override;
  void AppendField(std::string& out, int index) const override;
  bool ViewText(int index, std::string_view& out) const override;
  void AddNew() override;
  void Put(int index, const Value& v) override;
  void Update() override;
  void HoldAddedRows() override { hold_ = true; }
  const std::string& TargetTable() const override { return table_; }

 protected:
  bool IsOpen() const override { return !closed_; }

 private:
  struct Edit;
  void Step();
  void RequireRow() const;
  void SaveEdit();
  // Keeps the statement that saves `columns` by insert or update.
  void PrepareSaver(bool insert, const std::vector<size_t>& columns);
  // Binds values[column] of each of `columns` to `st` from parameter `first`
  // on, each as the column keeps it; NULL for a column that `put` (when
  // given) says was not put.
  void BindRow(SqliteStatement& st, int first, const std::vector<size_t>& columns, const Value* values,
               const uint8_t* put = nullptr);
  // Holds the added row (HoldAddedRows) to go in with the next ones.
  void HoldEdit();
  // A field of the added row that went to the held rows.
  Value HeldField(size_t column) const;
  // Inserts the held rows; a refused one raises its own error.
  void SendHeld();
  // Per column, whether an insert that leaves it out fills it with NULL
  // (none, when the store cannot say).
  std::vector<uint8_t> NullDefaults() const;

  std::shared_ptr<Database> db_;
  std::unique_ptr<SqliteStatement> stmt_;
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
  std::unique_ptr<Edit> edit_;
  // Added rows not inserted yet (HoldAddedRows), all of the same columns.
  bool hold_ = false;
  std::vector<size_t> held_columns_;
  // Each held row's values, field by field, and which of them were put: the
  // edit's own, handed over whole.
  std::vector<std::vector<Value>> held_values_;
  std::vector<std::vector<uint8_t>> held_put_;
  size_t held_rows_ = 0;
  std::unique_ptr<SqliteStatement> group_;  // the insert of a full group
  // Held rows sent with one statement: many enough that a statement's start
  // and end cost little, few enough that their parameters stay far below
  // the store's limit whatever the table's width.
  static constexpr size_t kHeldRows = 16;
  std::vector<size_t> group_columns_;
  // Columns a held row gives as NULL when it leaves them out, so that rows
  // leaving out different ones of them still go in one group; read from the
  // store with the first row held.
  std::vector<uint8_t> null_defaults_;
};

}  // namespace kestrel::store::sqlite
