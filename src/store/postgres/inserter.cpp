// Rows inserted into a PostgreSQL store through the session's held rows.
#include "store/postgres/inserter.h"

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/statements_store.h"

namespace kestrel::store::postgres {

std::vector<TableColumn> TableColumns(Session& s, std::string_view table) {
  // Described by the server, never run; the description leaves the
  // insertion order out.
  const Prepared& p = s.Prepare(SelectEveryColumn(table));
  std::vector<TableColumn> columns;
  for (size_t i = 0; i < p.column_names.size(); ++i) {
    // Every value reaches the server as text, a number as FormatDouble
    // writes it: a text column needs no number turned into text first.
    TableColumn& column = columns.emplace_back();
    column.name = p.column_names[i];
    column.binary = s.IsBinaryType(p.column_types[i]);
    column.has_default = s.HasDefault(table, p.column_names[i]);
  }
  return columns;
}

PgInserter::PgInserter(std::shared_ptr<Session> session, std::string_view table,
                       std::span<const std::string_view> columns)
    : s_(std::move(session)),
      table_(table),
      columns_(ColumnsNamed(TableColumns(*s_, table), table, columns)),
      layout_(s_->NewLayout()) {
  for (const auto& c : columns_) {
    names_.push_back(c.name);
    binary_.push_back(c.binary);
  }
  views_.assign(names_.begin(), names_.end());
  row_.resize(columns_.size());
  scratch_.resize(columns_.size());
}

void PgInserter::Add(std::span<const Value* const> row) {
  if (row.size() != columns_.size())
    Raise(Ours::Internal, fmt::format("A row of {} values for {} columns of {}", row.size(), columns_.size(), table_));
  for (size_t i = 0; i < row.size(); ++i) {
    try {
      row_[i] = &ValueFor(columns_[i], table_, *row[i], scratch_[i]);
    } catch (...) {
      // The rows before it are saved first, as if each had gone by itself.
      Flush();
      throw;
    }
  }
  if (s_->InTransaction())
    s_->held().Hold(*s_, table_, views_, binary_, row_, layout_);
  else
    InsertAlone(*s_, table_, names_, binary_, row_);
}

void PgInserter::Flush() { s_->SendHeld(); }

}  // namespace kestrel::store::postgres
