// Fetches ahead in a snapshot: the pieces of several cursors asked for in
// one pipeline while their readers work, and taken in as they come.
#include "store/postgres/session.h"

#include <algorithm>

#include "store/postgres/store_error.h"

namespace kestrel::store::postgres {

void Session::FetchAhead(const std::string& cursor, const std::string& fetch, int rows) {
  if (!fetching_ahead_) {
    if (!snapshot_ || PQtransactionStatus(conn_) != PQTRANS_INTRANS || !held_.empty()) return;
  } else if (std::any_of(on_their_way_.begin(), on_their_way_.end(),
                         [&](const Ahead& a) { return a.cursor == cursor; })) {
    return;
  }
  if (interrupted_ && interrupted_()) return;  // the reader's own fetch reports it
  if (!fetching_ahead_) {
    if (PQenterPipelineMode(conn_) != 1) throw ConnectionError(conn_);
    fetching_ahead_ = true;
  }
  // Without a flush request the server keeps a pipeline's answers until
  // its end; this one goes out now, while earlier pieces are read.
  if (!PQsendQueryParams(conn_, fetch.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) ||
      !PQsendFlushRequest(conn_) || PQflush(conn_) != 0)
    throw ConnectionError(conn_);
  on_their_way_.push_back(Ahead{cursor, Piece{nullptr, rows}});
}

void Session::TakeInAhead(size_t count) {
  Result failure;
  bool failure_dropped = false;
  bool cancelled = false;
  for (size_t i = 0; !on_their_way_.empty() && (i < count || failure); ++i) {
    Ahead a = std::move(on_their_way_.front());
    on_their_way_.pop_front();
    while (PGresult* r = NextResult(true, cancelled)) {
      Result owned(r);
      if (Failed(r)) {
        if (!failure) {
          failure_dropped = a.dropped;
          failure = std::move(owned);
        }
      } else if (PQresultStatus(r) == PGRES_TUPLES_OK) {
        a.piece.rows = std::move(owned);
      }
    }
    if (!a.dropped && a.piece.rows) fetched_ahead_.push_back(std::move(a));
  }
  if (!failure) return;
  // The fetches after a failed one were never run: the pipeline ends here,
  // and the transaction with its cursors is lost.
  EndFetchingAhead();
  LoseSnapshot();
  // Without its reader the failure is the next statement's to report: the
  // transaction refuses it.
  if (!failure_dropped) throw Refused(failure.get());
}

void Session::EndFetchingAhead() {
  if (!fetching_ahead_) return;
  fetching_ahead_ = false;
  if (PQpipelineSync(conn_) != 1) throw ConnectionError(conn_);
  bool cancelled = false;
  while (PGresult* r = NextResult(false, cancelled)) {
    const bool synced = PQresultStatus(r) == PGRES_PIPELINE_SYNC;
    PQclear(r);
    if (synced) break;
  }
  if (PQexitPipelineMode(conn_) != 1) throw ConnectionError(conn_);
}

void Session::SettleAhead() {
  if (!fetching_ahead_) return;
  TakeInAhead(on_their_way_.size());
  EndFetchingAhead();
}

Session::Piece Session::TakeAhead(const std::string& cursor) {
  for (size_t i = 0; i < on_their_way_.size(); ++i)
    if (on_their_way_[i].cursor == cursor) {
      TakeInAhead(i + 1);
      break;
    }
  for (auto it = fetched_ahead_.begin(); it != fetched_ahead_.end(); ++it) {
    if (it->cursor != cursor) continue;
    Piece p = std::move(it->piece);
    fetched_ahead_.erase(it);
    return p;
  }
  return {};
}

void Session::DropAhead(const std::string& cursor) noexcept {
  for (Ahead& a : on_their_way_)
    if (a.cursor == cursor) a.dropped = true;
  std::erase_if(fetched_ahead_, [&](const Ahead& a) { return a.cursor == cursor; });
}

void Session::ReceiveAhead() noexcept {
  if (!on_their_way_.empty()) PQconsumeInput(conn_);
  // The sibling's pieces wait for their readers here, not in the server,
  // which goes on to the next.
  if (sibling_) sibling_->ReceiveAhead();
}

}  // namespace kestrel::store::postgres
