// Added rows held back and sent together through COPY, one by one when the
// server refuses the group.
#include "store/postgres/held_rows.h"

#include <algorithm>
#include <utility>

#include "store/postgres/copy_text.h"
#include "store/postgres/session.h"
#include "store/postgres/statement.h"
#include "store/postgres/store_error.h"
#include "store/postgres/values.h"
#include "store/statements_store.h"

namespace kestrel::store::postgres {
namespace {

// Rows and bytes of copy text held at most before they are sent: few enough
// to keep memory flat, enough that the savepoints and round trips of the
// groups cost little.
constexpr size_t kHeldRows = 5000;
constexpr size_t kHeldBytes = 512 * 1024;
constexpr char kGroupSavepoint[] = "kestrel_rows";
// Copy text of rows gathered before it streams to the
// server; less for a group's first rows, so that the server, idle since the
// group before ended, starts on them while the next ones are made. In
// pieces of 64 KiB the server waited for each (an import 6-9 % slower).
constexpr size_t kStreamAt = 16 * 1024;
constexpr size_t kFirstStreamAt = 8 * 1024;

}  // namespace

void InsertAlone(Session& s, std::string_view table, const std::vector<std::string>& columns,
                 const std::vector<bool>& binary, std::span<const Value* const> row) {
  const std::vector<std::string_view> names(columns.begin(), columns.end());
  const std::string text = InsertRowWithParameters(Dialect::Postgres, table, names);
  const Prepared& p = s.Prepare(text);
  Params params;
  params.Resize(row.size());
  for (size_t i = 0; i < row.size(); ++i) params.Set(i, *row[i], binary[i] || p.binary_params[i]);
  s.RunPrepared(StatementKind::Write, text, p, params.values());
}

void HeldRows::Hold(Session& s, std::string_view table, const std::vector<std::string_view>& columns,
                    const std::vector<bool>& binary, std::span<const Value* const> values, uint64_t layout) {
  const bool same_layout = layout != 0 && layout == layout_;
  const bool same = same_layout || (table == table_ && columns.size() == columns_.size() &&
                                    std::equal(columns.begin(), columns.end(), columns_.begin()));
  if (!empty() && (!same || rows_ >= kHeldRows || group_.size() >= kHeldBytes)) s.SendHeld();
  if (!same) {
    table_ = table;
    columns_.assign(columns.begin(), columns.end());
  }
  if (!same_layout) binary_ = binary;
  layout_ = layout;
  // Once enough rows wait, they stream into the group's COPY, so that the
  // server stores them while the next ones are made.
  if (group_.size() - streamed_ >= (copying_ ? kStreamAt : kFirstStreamAt)) Stream(s);
  for (size_t i = 0; i < values.size(); ++i) {
    if (i) group_ += '\t';
    AppendCopyValue(group_, *values[i], binary_[i]);
  }
  group_ += '\n';
  ++rows_;
}

std::string HeldRows::CopyStatement() const {
  std::string statement = std::string("savepoint ") + kGroupSavepoint + "; copy " + table_ + " (";
  for (size_t i = 0; i < columns_.size(); ++i) statement += (i ? ", " : "") + columns_[i];
  return statement + ") from stdin";
}

void HeldRows::Stream(Session& s) {
  if (!copying_) {
    // The write lock is taken outside the savepoint (rolling the savepoint
    // back would release it); the savepoint goes in the same round trip as
    // the COPY. Both statements send held rows first: not these, whose
    // group they start.
    starting_ = true;
    try {
      if (!s.HoldsWriteLock()) s.TakeWriteLock();
      s.StartCopy(CopyStatement());
    } catch (...) {
      starting_ = false;
      RollBackGroup(s);
      throw;
    }
    starting_ = false;
    copying_ = true;
  }
  const std::string_view rows = std::string_view(group_).substr(streamed_);
  if (!rows.empty() && PQputCopyData(s.conn(), rows.data(), static_cast<int>(rows.size())) != 1)
    throw ConnectionError(s.conn());
  streamed_ = group_.size();
}

void HeldRows::RollBackGroup(Session& s) noexcept {
  try {
    if (PQtransactionStatus(s.conn()) == PQTRANS_INERROR)
      s.Control(std::string("rollback to savepoint ") + kGroupSavepoint + "; release savepoint " + kGroupSavepoint);
  } catch (...) {
  }
}

void HeldRows::Drop() {
  rows_ = 0;
  group_.clear();
  streamed_ = 0;
}

void HeldRows::Abandon(Session& s) noexcept {
  Drop();
  if (!std::exchange(copying_, false)) return;
  // The rows streamed so far go with the savepoint the caller rolls back.
  PQputCopyEnd(s.conn(), "the rows were rolled back");
  try {
    s.FinishCopy();
  } catch (...) {
  }
}

void HeldRows::Send(Session& s) {
  if (empty() || starting_) return;
  // What is sent is no longer held: the statements below find nothing to
  // send first.
  const size_t rows = std::exchange(rows_, 0);

  if (rows > 0 || copying_) {
    Result r;
    try {
      Stream(s);
      copying_ = false;
      if (PQputCopyEnd(s.conn(), nullptr) != 1) throw ConnectionError(s.conn());
      r = s.FinishCopy();
    } catch (...) {
      Drop();
      copying_ = false;
      RollBackGroup(s);
      throw;
    }
    if (!Session::Failed(r.get())) {
      Drop();
      s.Control(std::string("release savepoint ") + kGroupSavepoint);
      s.CountAdded(table_, RowsChanged(r.get()));
    } else {
      const std::string group = std::exchange(group_, {});
      Drop();
      s.Control(std::string("rollback to savepoint ") + kGroupSavepoint + "; release savepoint " + kGroupSavepoint);
      // One by one: the refused row raises its own error, as it would have
      // alone; the rows after it are not saved.
      for (size_t at = 0; at < group.size();) {
        const size_t end = group.find('\n', at);
        const std::vector<Value> row = ReadCopyValues(std::string_view(group).substr(at, end - at), binary_);
        std::vector<const Value*> values;
        for (const Value& v : row) values.push_back(&v);
        InsertAlone(s, table_, columns_, binary_, values);
        at = end + 1;
      }
    }
  }
  Drop();
}

}  // namespace kestrel::store::postgres
