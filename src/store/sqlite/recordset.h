// The recordset over a SQLite select: rows read forward from a cached
// statement. It shares
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

 protected:
  bool IsOpen() const override { return !closed_; }

 private:
  void Step();
  void RequireRow() const;

  std::shared_ptr<Database> db_;
  std::unique_ptr<SqliteStatement> stmt_;
  std::vector<Value> values_;  // bound to the statement's parameters, not copied
  bool bof_ = true;
  bool eof_ = true;
  bool closed_ = false;
  // Names and kinds of the columns, shared by every recordset on the same
  // prepared statement.
  std::shared_ptr<const ResultColumns> columns_;
};

}  // namespace kestrel::store::sqlite
