// Reading a PostgreSQL select through a cursor held across commits.
#include "store/postgres/recordset.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/postgres/copy_text.h"
#include "store/postgres/statement.h"
#include "store/postgres/statement_text.h"
#include "store/postgres/values.h"
#include "store/row_writes.h"
#include "store/sql.h"

namespace kestrel::store::postgres {
namespace {

// Rows fetched at a time: enough to make the round trips cheap, few enough
// to keep memory flat. The first piece is smaller: most selects end there.
constexpr int kRowsPerPiece = 1000;
constexpr int kRowsPerLaterPiece = 2000;
// The rows that the pieces of all open cursors hold together at most, when
// several are read side by side (an export merges eleven): each cursor's
// pieces shrink to its share, down to a floor that keeps round trips few.
constexpr int kRowsOfAllPieces = 1000;
constexpr int kFewestRowsPerPiece = 100;
// While a piece is read, what has come of the next one is taken in every so
// many rows: the server's output stops when the socket's buffer is full.
constexpr int kRowsBetweenReceiving = 128;

int PieceRows(int most, int cursors_open) {
  return std::max(kFewestRowsPerPiece, std::min(most, kRowsOfAllPieces / std::max(1, cursors_open)));
}

// The select limited to one row more than a piece holds, or "" when the
// text may limit its rows or lock them itself.
std::string LimitedToOnePiece(const std::string& select) {
  std::string lower = select;
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  for (std::string_view word : {"limit", "offset", "fetch", " for "})
    if (lower.find(word) != std::string::npos) return "";
  return fmt::format("{} limit {}", select, kRowsPerPiece + 1);
}

}  // namespace

PgRecordset::PgRecordset(std::shared_ptr<Session> session, std::string_view statement,
                         const std::vector<Value>& values)
    : PgRecordset(std::move(session), statement, values, false) {
  AskFirstPiece();
  Start(!values.empty());
}

PgRecordset::PgRecordset(std::shared_ptr<Session> session, std::string_view statement,
                         const std::vector<Value>& values, bool first_piece_later)
    : s_(std::move(session)) {
  const std::string text(SingleStatement(statement));
  std::vector<bool> binary;
  if (!values.empty() || text.find('$') != std::string::npos) {
    binary = s_->BinaryParameters(text);
    if (binary.size() != values.size())
      Raise(Ours::Internal, fmt::format("The statement has {} parameters for {} values", binary.size(), values.size()));
  }
  if (std::optional<WholeRead> whole = PlanWhole(*s_, text, values)) {
    Result r = s_->RunPrepared(StatementKind::Read, whole->limited, *whole->prepared, whole->params.values());
    if (IsWhole(r.get())) {
      piece_ = std::move(r);
    } else {
      // These values find many rows: from now on a cursor reads them.
      s_->SizeOfReads(whole->select) = Session::ReadSize::Large;
    }
  }
  if (!piece_) Declare(text, values, binary, first_piece_later && values.empty());
}

void PgRecordset::AskFirstPiece() {
  if (cursor_open_ && !piece_) s_->FetchAhead(cursor_, FetchText(asked_), asked_);
}

void PgRecordset::Start(bool with_values) {
  if (cursor_open_) {
    Fetch();
    // A select with parameters runs again and again, with other values:
    // one that gave few rows runs whole next time.
    Session::ReadSize& size = s_->SizeOfReads(read_);
    if (with_values && size == Session::ReadSize::Unknown)
      size = cursor_open_ ? Session::ReadSize::Large : Session::ReadSize::Small;
  } else {
    row_ = 0;
    eof_ = PQntuples(piece_.get()) == 0;
  }
  bof_ = eof_;
  LearnColumns();
}

std::vector<std::unique_ptr<PgRecordset>> PgRecordset::DeclareSideBySide(const std::shared_ptr<Session>& session,
                                                                        const std::vector<std::string_view>& selects) {
  std::vector<std::unique_ptr<PgRecordset>> declared;
  for (std::string_view select : selects)
    declared.push_back(std::unique_ptr<PgRecordset>(new PgRecordset(session, select, {}, true)));
  for (auto& rs : declared) rs->AskFirstPiece();
  return declared;
}

std::vector<std::unique_ptr<Recordset>> PgRecordset::StartSideBySide(
    std::vector<std::unique_ptr<PgRecordset>> declared) {
  std::vector<std::unique_ptr<Recordset>> started;
  for (auto& rs : declared) {
    rs->Start(false);
    started.push_back(std::move(rs));
  }
  return started;
}

PgRecordset::~PgRecordset() {
  try {
    Close();
  } catch (...) {
  }
}

std::optional<PgRecordset::WholeRead> PgRecordset::PlanWhole(Session& s, std::string_view statement,
                                                           const std::vector<Value>& values) {
  if (values.empty()) return std::nullopt;
  WholeRead w;
  w.select = SingleStatement(statement);
  Session::ReadSize& size = s.SizeOfReads(w.select);
  if (size != Session::ReadSize::Small) return std::nullopt;
  w.limited = LimitedToOnePiece(w.select);
  if (w.limited.empty()) {
    size = Session::ReadSize::Large;
    return std::nullopt;
  }
  // Without a cursor the rows come with the statement, prepared once, in
  // one round trip; the limit keeps memory flat when these values find many
  // rows, which then go through a cursor as any large select does.
  w.prepared = &s.Prepare(w.limited);
  if (w.prepared->binary_params.size() != values.size()) return std::nullopt;
  w.params.Resize(values.size());
  for (size_t i = 0; i < values.size(); ++i) w.params.Set(i, values[i], w.prepared->binary_params[i]);
  return w;
}

bool PgRecordset::IsWhole(const PGresult* r) { return PQntuples(const_cast<PGresult*>(r)) <= kRowsPerPiece; }

PgRecordset::PgRecordset(std::shared_ptr<Session> session, Result whole)
    : s_(std::move(session)), piece_(std::move(whole)) {
  eof_ = PQntuples(piece_.get()) == 0;
  bof_ = eof_;
  LearnColumns();
}

void PgRecordset::Declare(const std::string& select, const std::vector<Value>& values, const std::vector<bool>& binary,
                          bool first_piece_later) {
  read_ = select;
  read_has_values_ = !values.empty();
  Params params;
  params.Resize(values.size());
  for (size_t i = 0; i < values.size(); ++i) params.Set(i, values[i], binary[i]);
  piece_.reset();
  cursor_ = s_->NewCursorName();
  asked_ = PieceRows(kRowsPerPiece, s_->CursorsOpen() + 1);
  const std::string declare = fmt::format("declare {} no scroll cursor with hold for {}", cursor_, select);
  if (values.empty() && select.starts_with(sql::kJoinedByHashingMark)) {
    // The select is planned when its cursor is declared: nested loops are
    // switched off for that alone. A failure rolls the setting back with
    // the statement.
    const std::string planned = fmt::format("set enable_nestloop = off; {}; reset enable_nestloop", declare);
    s_->Run(KindOf(select), select, [&](PGconn* c) { return PQsendQuery(c, planned.c_str()); }, false);
    cursor_open_ = true;
    s_->CursorOpened();
    return;
  }
  if (first_piece_later) {
    s_->Run(KindOf(select), select, [&](PGconn* c) {
      return PQsendQueryParams(c, declare.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0);
    });
    cursor_open_ = true;
    s_->CursorOpened();
    return;
  }
  // The first piece comes in the same round trip when it can.
  s_->RunThen(
      KindOf(select), select,
      [&](PGconn* c) {
        return PQsendQueryParams(c, declare.c_str(), static_cast<int>(params.size()), nullptr, params.values(),
                                 nullptr, nullptr, 0);
      },
      FetchText(asked_), piece_);
  cursor_open_ = true;
  s_->CursorOpened();
}

std::string PgRecordset::FetchText(int rows) const { return fmt::format("fetch {} from {}", rows, cursor_); }

void PgRecordset::Fetch() {
  int asked = asked_;
  if (!piece_) {
    Session::Piece ahead = s_->TakeAhead(cursor_);
    if (ahead.rows) {
      piece_ = std::move(ahead.rows);
      asked = ahead.asked;
    } else {
      asked = PieceRows(kRowsPerLaterPiece, s_->CursorsOpen());
      const std::string fetch = FetchText(asked);
      piece_ = s_->Run(StatementKind::Read, fetch, [&](PGconn* c) {
        return PQsendQueryParams(c, fetch.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0);
      });
    }
  }
  row_ = 0;
  const int rows = PQntuples(piece_.get());
  // The last piece: the cursor is done, and the server's copy of the rows
  // is released soon.
  if (rows < asked) {
    CloseCursor();
  } else {
    const int next = PieceRows(kRowsPerLaterPiece, s_->CursorsOpen());
    s_->FetchAhead(cursor_, FetchText(next), next);
  }
  eof_ = rows == 0;
  is_decoded_.assign(is_decoded_.size(), false);
}

void PgRecordset::CloseCursor() noexcept {
  if (!cursor_open_) return;
  cursor_open_ = false;
  s_->CursorClosed();
  s_->DropAhead(cursor_);
  try {
    // Not a statement of its own now: it goes with the next one.
    s_->CloseCursorLater(cursor_);
  } catch (...) {
  }
}

void PgRecordset::LearnColumns() {
  const PGresult* r = piece_.get();
  int n = PQnfields(r);
  // "select *" reads the store's insertion order last: it stays unseen.
  if (n > 0 && PQfname(r, n - 1) == sql::kInsertionOrderColumn) --n;
  for (int i = 0; i < n; ++i) {
    names_.emplace_back(PQfname(r, i));
    types_.push_back(PQftype(r, i));
    binary_.push_back(PQftype(r, i) == kByteaType);
  }
  decoded_.assign(static_cast<size_t>(n), std::string());
  is_decoded_.assign(static_cast<size_t>(n), false);
}

void PgRecordset::MoveNext() {
  if (closed_ || eof_) Raise(Ours::NoCurrentRow);
  if (copying_) {
    NextCopiedRow();
    return;
  }
  if (++row_ < PQntuples(piece_.get())) {
    is_decoded_.assign(is_decoded_.size(), false);
    if (row_ % kRowsBetweenReceiving == 0) s_->ReceiveAhead();
    return;
  }
  if (cursor_open_) {
    rows_before_piece_ += PQntuples(piece_.get());
    if (CanCopyRest()) {
      CopyRest();
      return;
    }
    piece_.reset();
    Fetch();
  } else {
    eof_ = true;
  }
}

bool PgRecordset::CanCopyRest() const {
  if (!read_through_ || read_has_values_ || !s_->InSnapshot() || !s_->held().empty() ||
      read_.starts_with(sql::kJoinedByHashingMark))
    return false;
  return std::all_of(types_.begin(), types_.end(), CopiesAsFetched);
}

void PgRecordset::CopyRest() {
  // In the snapshot the select gives the same rows in the same order again:
  // those past the ones fetched are the rest. The cursor was planned for its
  // first rows and walks the index that gives the order; the same select
  // planned for all its rows sorts them instead, on disk once a table is
  // large, at several times the server's work. Sorts are off for the copy
  // alone: where no index gives the order, the rows are sorted all the same.
  const std::string copy =
      fmt::format("set local enable_sort = off; copy ({} offset {}) to stdout", read_, rows_before_piece_);
  CloseCursor();
  piece_.reset();
  s_->StartCopyOut(copy);
  copying_ = true;
  NextCopiedRow();
}

void PgRecordset::NextCopiedRow() {
  if (!s_->ReadCopyLine(copied_line_)) {
    EndCopy();
    eof_ = true;
    return;
  }
  copied_split_ = false;
}

void PgRecordset::EndCopy() {
  copying_ = false;
  // The session's own setting again (a URI's options included) for the
  // statements that follow in the transaction.
  s_->Control("reset enable_sort");
}

void PgRecordset::SplitCopiedRow() const {
  if (copied_split_) return;
  SplitCopyLine(copied_line_, copied_fields_, copied_nulls_);
  // "select *" brings the store's insertion order last, which stays unseen.
  if (copied_fields_.size() < names_.size())
    Raise(Ours::Internal, fmt::format("The server copied {} fields of {} columns", copied_fields_.size(), names_.size()));
  copied_split_ = true;
}

bool PgRecordset::AppendRow(std::string& out, std::string_view column_sep) const {
  // A line the quick way refuses (an escape, a NULL, too few fields) is
  // taken apart, which reports too few fields.
  return copying_ && !closed_ && !eof_ && AppendPlainCopyFields(out, copied_line_, names_.size(), column_sep);
}

void PgRecordset::Close() {
  if (closed_) return;
  // A COPY not read to its end keeps the session busy: the rest is read
  // and dropped.
  try {
    while (copying_ && s_->ReadCopyLine(copied_line_)) {
    }
    if (copying_) EndCopy();
  } catch (...) {
    // A copy that failed took its transaction, and the setting, with it.
  }
  copying_ = false;
  closed_ = true;
  eof_ = true;
  CloseCursor();
  piece_.reset();
}

int PgRecordset::FieldCount() const { return static_cast<int>(names_.size()); }

const std::string& PgRecordset::FieldName(int index) const { return names_[FieldPosition(names_, index)]; }

int PgRecordset::IndexOf(std::string_view name) const { return FieldIndexOf(names_, name); }

void PgRecordset::RequireRow() const {
  if (closed_ || eof_) Raise(Ours::NoCurrentRow);
}

Value PgRecordset::Fields(int index) const {
  FieldPosition(names_, index);
  RequireRow();
  if (copying_) {
    SplitCopiedRow();
    const auto i = static_cast<size_t>(index);
    return copied_nulls_[i] ? Value() : ValueOfText(copied_fields_[i], types_[i]);
  }
  return FieldValue(piece_.get(), row_, index);
}

void PgRecordset::AppendField(std::string& out, int index) const {
  RequireRow();
  if (copying_) {
    const size_t i = FieldPosition(names_, index);
    SplitCopiedRow();
    if (!copied_nulls_[i]) out += copied_fields_[i];
    return;
  }
  AppendFieldText(out, piece_.get(), row_, index);
}

bool PgRecordset::ViewText(int index, std::string_view& out) const {
  if (closed_ || eof_ || index < 0 || index >= FieldCount()) return false;
  if (copying_) {
    SplitCopiedRow();
    const auto i = static_cast<size_t>(index);
    if (copied_nulls_[i] || !LendsText(types_[i])) return false;
    out = copied_fields_[i];
    return true;
  }
  const PGresult* r = piece_.get();
  const auto i = static_cast<size_t>(index);
  if (PQgetisnull(r, row_, index) || !LendsText(types_[i])) return false;
  if (binary_[i]) {
    if (!is_decoded_[i]) {
      decoded_[i] = DecodeBytea({PQgetvalue(r, row_, index), static_cast<size_t>(PQgetlength(r, row_, index))});
      is_decoded_[i] = true;
    }
    out = decoded_[i];
    return true;
  }
  out = std::string_view(PQgetvalue(r, row_, index), static_cast<size_t>(PQgetlength(r, row_, index)));
  return true;
}

}  // namespace kestrel::store::postgres
