// Added rows held back and sent together through COPY, one by one when the
// server refuses the group.
#include "store/postgres/held_rows.h"

#include <algorithm>

#include "store/postgres/copy_sink.h"
#include "store/postgres/session.h"
#include "store/postgres/statement.h"
#include "store/postgres/store_error.h"
#include "store/postgres/values.h"
#include "store/statements_store.h"

namespace kestrel::store::postgres {
namespace {

// Rows and bytes of copy text held at most before they are sent: few enough
// to keep memory flat, enough that the round trips cost little.
constexpr size_t kHeldRows = 5000;
constexpr size_t kHeldBytes = 2 << 20;
constexpr char kGroupSavepoint[] = "kestrel_rows";

std::vector<std::string_view> Views(const std::vector<std::string>& names) {
  return {names.begin(), names.end()};
}

// Inserts one row by itself, as the recordset saves a row it does not hold;
// returns its ctid.
std::string InsertAlone(Session& s, const std::string& table, const std::vector<std::string>& columns,
                        const std::vector<bool>& binary, const std::vector<Value>& row) {
  const std::string text = InsertRowKeepingRowId(Dialect::Postgres, table, Views(columns));
  const Prepared& p = s.Prepare(text);
  Params params;
  params.Resize(row.size());
  for (size_t i = 0; i < row.size(); ++i) params.Set(i, row[i], binary[i] || p.binary_params[i]);
  Result r = s.RunPrepared(StatementKind::Write, text, p, params.values());
  return PQntuples(r.get()) > 0 ? PQgetvalue(r.get(), 0, 0) : "";
}

}  // namespace

uint64_t HeldRows::Hold(Session& s, std::string_view table, const std::vector<std::string_view>& columns,
                        const std::vector<bool>& binary, std::vector<Value> values) {
  const bool same = table == table_ && columns.size() == columns_.size() &&
                    std::equal(columns.begin(), columns.end(), columns_.begin());
  if (!rows_.empty() && (!same || rows_.size() >= kHeldRows || copy_.size() >= kHeldBytes)) s.SendHeld();
  if (!same) {
    table_ = table;
    columns_.assign(columns.begin(), columns.end());
  }
  binary_ = binary;
  last_row_at_ = copy_.size();
  for (size_t i = 0; i < values.size(); ++i) {
    if (i) copy_ += '\t';
    AppendCopyValue(copy_, values[i], binary_[i]);
  }
  copy_ += '\n';
  rows_.push_back(std::move(values));
  last_ticket_ = ++next_ticket_;
  last_is_current_ = true;
  return last_ticket_;
}

void HeldRows::Release(uint64_t ticket) {
  if (ticket != 0 && ticket == last_ticket_) last_is_current_ = false;
}

bool HeldRows::TakeBack(uint64_t ticket) {
  if (rows_.empty() || ticket != last_ticket_ || !last_is_current_) return false;
  rows_.pop_back();
  copy_.resize(last_row_at_);
  last_ticket_ = 0;
  last_is_current_ = false;
  return true;
}

const std::string& HeldRows::RowIdSentAlone(uint64_t ticket) const {
  static const std::string none;
  return ticket != 0 && ticket == sent_alone_ticket_ ? sent_alone_rowid_ : none;
}

void HeldRows::Drop() {
  rows_.clear();
  copy_.clear();
  last_ticket_ = 0;
  last_is_current_ = false;
}

void HeldRows::Send(Session& s) {
  if (rows_.empty()) return;
  // What is sent is no longer held: the statements below find nothing to
  // send first.
  std::vector<std::vector<Value>> rows = std::move(rows_);
  std::string copy = std::move(copy_);
  const bool last_alone = last_is_current_;
  const uint64_t last_ticket = last_ticket_;
  Drop();
  std::vector<Value> last;
  if (last_alone) {
    last = std::move(rows.back());
    rows.pop_back();
    copy.resize(last_row_at_);
  }

  if (!rows.empty()) {
    // The write lock is taken outside the savepoint: rolling the savepoint
    // back would release it.
    if (!s.HoldsWriteLock()) s.TakeWriteLock();
    // The savepoint goes in the same round trip as the COPY.
    std::string statement = std::string("savepoint ") + kGroupSavepoint + "; copy " + table_ + " (";
    for (size_t i = 0; i < columns_.size(); ++i) statement += (i ? ", " : "") + columns_[i];
    statement += ") from stdin";
    Result r;
    try {
      s.StartCopy(statement);
      if (PQputCopyData(s.conn(), copy.data(), static_cast<int>(copy.size())) != 1 ||
          PQputCopyEnd(s.conn(), nullptr) != 1)
        throw ConnectionError(s.conn());
      r = s.FinishCopy();
    } catch (...) {
      try {
        s.Control(std::string("rollback to savepoint ") + kGroupSavepoint + "; release savepoint " + kGroupSavepoint);
      } catch (...) {
      }
      throw;
    }
    if (!Session::Failed(r.get())) {
      s.Control(std::string("release savepoint ") + kGroupSavepoint);
      s.CountAdded(table_, RowsChanged(r.get()));
    } else {
      s.Control(std::string("rollback to savepoint ") + kGroupSavepoint + "; release savepoint " + kGroupSavepoint);
      // One by one: the refused row raises its own error, as it would have
      // at its Update; the rows after it are not saved.
      for (const auto& row : rows) InsertAlone(s, table_, columns_, binary_, row);
    }
  }
  if (last_alone) {
    sent_alone_rowid_ = InsertAlone(s, table_, columns_, binary_, last);
    sent_alone_ticket_ = last_ticket;
  }
}

}  // namespace kestrel::store::postgres
