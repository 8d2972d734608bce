// Rows inserted into a SQLite store in groups, one by one when refused.
#include "store/sqlite/inserter.h"

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"
#include "store/sqlite/database.h"
#include "store/sqlite/shape.h"
#include "store/sqlite/store_error.h"
#include "store/statements_store.h"

namespace kestrel::store::sqlite {

std::vector<TableColumn> TableColumns(Database& db, std::string_view table) {
  // Compiled afresh, never run: a cached statement may predate a change of
  // the table.
  const std::string text = SelectEveryColumn(table);
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db.handle(), text.c_str(), static_cast<int>(text.size()), &st, nullptr) != SQLITE_OK) {
    const ComError e = db.Named(StoreError(db.handle()), text);
    sqlite3_finalize(st);
    throw e;
  }
  std::vector<TableColumn> columns;
  for (int i = 0; i < sqlite3_column_count(st); ++i) {
    const char* name = sqlite3_column_name(st, i);
    const char* decl = sqlite3_column_decltype(st, i);
    columns.push_back(TableColumn{name ? name : "", DeclaredBlob(decl), DeclaredText(decl)});
  }
  sqlite3_finalize(st);
  auto defaults = db.Prepare(SelectColumnsWithDefaults(table));
  while (defaults->Step()) {
    const Value name = defaults->Column(0);
    for (auto& c : columns)
      if (name.IsText() && text::EqualNoCase(c.name, *name.AsText())) c.has_default = true;
  }
  return columns;
}

WaitingRows::WaitingRows(Database& db, std::string_view table, std::span<const std::string_view> columns)
    : db_(db),
      table_(table),
      columns_(ColumnsNamed(TableColumns(db, table), table, columns)),
      names_(columns.begin(), columns.end()) {}

void WaitingRows::Take(std::span<const Value* const> row) {
  // Where the row's values go is written over; it waits once all are there.
  if (waiting_.size() == rows_) waiting_.emplace_back(columns_.size());
  std::vector<Value>& values = waiting_[rows_];
  for (size_t i = 0; i < row.size(); ++i) {
    Value scratch;
    const Value& v = ValueFor(columns_[i], table_, *row[i], scratch);
    // A text reuses the storage of the one before it.
    if (&v == &scratch)
      values[i] = std::move(scratch);
    else
      values[i] = v;
  }
  ++rows_;
}

void WaitingRows::BindRow(SqliteStatement& st, int first, size_t r) {
  int p = first;
  for (size_t i = 0; i < columns_.size(); ++i, ++p) {
    const Value& v = waiting_[r][i];
    st.BindValue(p, v, columns_[i].binary && v.IsText(), false);
  }
}

void WaitingRows::Send() {
  if (rows_ == 0) return;
  if (rows_ == kGroupRows) {
    if (!group_) group_ = db_.Prepare(InsertRowWithParameters(Dialect::Sqlite, table_, names_, kGroupRows));
    for (size_t r = 0; r < rows_; ++r) BindRow(*group_, static_cast<int>(r * columns_.size() + 1), r);
    const int64_t counted = db_.InsertsCounted();
    try {
      group_->Run();
      rows_ = 0;
      return;
    } catch (const ComError&) {
      // A refused statement wrote none of its rows, though the rows before
      // the refused one were counted; a failure that ended the transaction
      // leaves nothing to go again.
      db_.UncountInsertsSince(counted);
      if (sqlite3_get_autocommit(db_.handle())) {
        rows_ = 0;
        throw;
      }
    }
  }
  // One by one: the rest of a group, or a group the store refused.
  if (!one_) one_ = db_.Prepare(InsertRowWithParameters(Dialect::Sqlite, table_, names_));
  for (size_t r = 0; r < rows_; ++r) {
    BindRow(*one_, 1, r);
    try {
      one_->Run();
    } catch (...) {
      rows_ = 0;
      throw;
    }
  }
  rows_ = 0;
}

void WaitingRows::Drop() noexcept {
  rows_ = 0;
  one_.reset();
  group_.reset();
}

SqliteInserter::SqliteInserter(std::shared_ptr<Database> db, std::string_view table,
                               std::span<const std::string_view> columns)
    : db_(std::move(db)), rows_(std::make_shared<WaitingRows>(*db_, table, columns)), width_(columns.size()) {}

void SqliteInserter::Add(std::span<const Value* const> row) {
  if (row.size() != width_)
    Raise(Ours::Internal, fmt::format("A row of {} values for {} columns", row.size(), width_));
  db_->Waiting(rows_);
  try {
    rows_->Take(row);
  } catch (...) {
    // The rows before it go first, as if each had gone by itself.
    db_->SendWaiting();
    throw;
  }
  if (rows_->full() || sqlite3_get_autocommit(db_->handle())) db_->SendWaiting();
}

void SqliteInserter::Flush() {
  if (db_->IsWaiting(*rows_)) db_->SendWaiting();
}

}  // namespace kestrel::store::sqlite
