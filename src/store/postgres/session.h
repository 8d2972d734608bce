// The libpq connection of one PostgreSQL store and what every user of it
// shares: how a statement is sent and waited for, the savepoint that keeps a
// failed statement from ending the transaction around it, the store's write
// lock, the counts of rows changed, and the statements prepared on the
// server. A connection, and every statement and recordset it handed out,
// hold it by shared ownership, so the server connection is closed when the
// last of them is released, whatever the order.
//
// The write lock: SQLite lets one writer at a time change a store; here a
// transaction-scoped advisory lock on a key of the store's schema does, taken
// by every transaction before its first change (a batch or a write unit at
// once). Statements wait for it, and for the tables another program locked,
// at most lock_timeout: the wait the store was opened with.
//
// Callers guarantee: one thread at a time uses a Session and all that hold it.
#pragma once

#include <libpq-fe.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/error.h"
#include "kestrel/store.h"
#include "store/postgres/held_rows.h"
#include "store/postgres/statement_text.h"

namespace kestrel::store::postgres {

struct ResultDeleter {
  void operator()(PGresult* r) const noexcept { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// What a statement prepared on the server takes and gives.
struct Prepared {
  std::string name;
  std::vector<bool> binary_params;  // the parameter is bytea (or a domain of it)
  std::vector<Oid> column_types;
  std::vector<std::string> column_names;
};

class Session : public std::enable_shared_from_this<Session> {
 public:
  // Connects to the server at `location` (a libpq URI), in client encoding
  // LATIN1, every wait for a lock lasting at most `lock_wait`. Fails with
  // the server's message, the location masked.
  static std::shared_ptr<Session> Connect(const std::string& location, std::chrono::milliseconds lock_wait);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  PGconn* conn() const { return conn_; }
  const std::string& location() const { return location_; }
  bool InTransaction() const;

  // Sends one command (a PQsend* call) and returns its result.
  using Send = std::function<int(PGconn*)>;
  // Runs one statement of the caller: interrupted when asked, under the
  // write lock when it writes, inside a savepoint when a transaction is open
  // (so that a failure leaves the transaction as it was), its rows counted.
  // The statements around it go in one round trip with it (`pipelined`),
  // unless `send` uses the simple protocol (several statements in one text).
  Result Run(StatementKind kind, std::string_view statement, const Send& send, bool pipelined = true);
  // As Run; inside a transaction `then` (a statement of our own without
  // parameters) goes in the same round trip right after it, and its result
  // comes back in `then_result` (left empty otherwise: the caller runs it).
  Result RunThen(StatementKind kind, std::string_view statement, const Send& send, const std::string& then,
                 Result& then_result);
  // Closes a cursor whose rows are all read: inside a transaction it goes
  // with the next statement, saving a round trip. A rollback forgets the
  // cursors to close (it may have closed them), which the session's end
  // closes at the latest.
  void CloseCursorLater(const std::string& cursor);
  // Runs reads that NeedsNoSavepoint allows, all in one round trip, and
  // returns their results in order; a failure is raised as Run raises it.
  std::vector<Result> RunReadsTogether(const std::vector<Send>& sends);
  // Whether a read in the open transaction may go without a savepoint.
  bool NeedsNoSavepoint(StatementKind kind, std::string_view statement) const;
  // Runs one statement text of the caller without parameters.
  Result RunText(std::string_view statement);
  // Runs a prepared statement with its parameters.
  Result RunPrepared(StatementKind kind, std::string_view statement, const Prepared& p, const char* const* values);
  // Runs statements of our own (transaction control), several allowed; the
  // first failure is raised after all have answered.
  void Control(const std::string& statements);
  // A statement of our own whose rows are returned.
  Result ControlRows(const std::string& statement);
  // A statement of our own whose one value is returned as text.
  std::string ControlValue(const std::string& statement);

  // Takes the store's write lock for the open transaction, waiting at most
  // lock_timeout; TryWriteLock only tries.
  void TakeWriteLock();
  bool TryWriteLock();
  bool HoldsWriteLock() const { return lock_held_; }
  // The lock may be gone: a savepoint it was taken under was rolled back.
  void ForgetWriteLock() { lock_held_ = false; }

  // Rows inserted inside a transaction and not sent yet. Every statement sends
  // them first (SendHeld, which raises the store's error for a refused row);
  // a rollback drops them (DropHeld), and the cursors to close with them.
  HeldRows& held() { return held_; }
  void SendHeld();
  void DropHeld() {
    held_.Abandon(*this);
    cursors_to_close_.clear();
  }

  // While set, every statement of the caller asks it first and while it
  // runs; true cancels the statement.
  void SetInterrupted(std::function<bool()> interrupted) { interrupted_ = std::move(interrupted); }
  void CountRowChanges(RowChangeCounts* counts) { counts_ = counts; }
  void CountAdded(std::string_view table, int64_t rows);

  // The statement prepared on the server, once per text; a failure is the
  // server's error (and leaves an open transaction as it was).
  const Prepared& Prepare(std::string_view statement);
  // Which parameters of a statement are bytea, as the server infers them
  // (the statement is described, not kept prepared); remembered per text.
  const std::vector<bool>& BinaryParameters(std::string_view statement);
  // Whether a column or parameter of the type is bytea (or a domain of it).
  bool IsBinaryType(Oid type);
  // Whether an insert that leaves the column of the table out fills it
  // with a value of the store's own (a default, an identity, computed); the
  // table's columns are looked up once.
  bool HasDefault(std::string_view table, std::string_view column);
  // A cursor name not used before on this session.
  std::string NewCursorName();
  // A number not used before on this session for the columns of held rows
  // (HeldRows::Hold).
  uint64_t NewLayout() { return ++next_layout_; }
  // How many cursors recordsets read from now, which share the memory of
  // their pieces.
  int CursorsOpen() const { return cursors_open_; }
  void CursorOpened() { ++cursors_open_; }
  void CursorClosed() { --cursors_open_; }
  // How many rows a select with parameters gave when it ran before: a
  // select that gave few every time is worth running whole, without a
  // cursor; one that once gave many goes through a cursor from then on.
  enum class ReadSize { Unknown, Small, Large };
  ReadSize& SizeOfReads(std::string_view statement);

  // Opens a read-only snapshot, taken at once; it lasts until the
  // transaction ends. A read in it changes nothing, so only the first run of each text
  // needs a savepoint (the one that finds a table missing, which the caller
  // may go on past); a text that ran once in the snapshot, or a fetch, goes
  // without one. When such a read still fails (a value its cast refuses, a
  // cancel), the snapshot is taken afresh, so that the reads after it work
  // as on SQLite, and the failure is raised.
  void BeginSnapshot();
  // Whether the open transaction is such a snapshot: nothing read in it can
  // be changed, so its reads need no row ids.
  bool InSnapshot() const { return snapshot_; }
  // A second connection to the server reading this session's snapshot (the
  // server exports it), so that reads started ahead are made by a second
  // server process while this one serves other reads. Made on the first
  // call in a snapshot and dropped when the snapshot ends (the recordsets
  // reading from it keep it while they live); null outside a snapshot,
  // before version 10, or when the server refused the connection, in which
  // case this snapshot asks no more. Callers guarantee: no savepoint is open.
  std::shared_ptr<Session> SnapshotSibling();

  // Fetches ahead, in a snapshot: a cursor's next piece is asked for as soon
  // as its reader has the one before, so that the server makes it while the
  // reader works (the two sides take turns otherwise). Each cursor may have
  // one fetch on its way, all of them queued in one pipeline, so that a
  // reader merging several cursors never leaves the server waiting; pieces
  // come back in the order they were asked for, and one taken in before its
  // reader wants it is kept for it. Any other statement first waits for all
  // of them and ends the pipeline.
  // FetchAhead sends `fetch` (of `rows` rows from `cursor`) unless the
  // cursor has one on its way or no snapshot is open.
  void FetchAhead(const std::string& cursor, const std::string& fetch, int rows);
  // The piece fetched ahead for `cursor` and the rows it asked for (null
  // when none was); a failed fetch is raised.
  struct Piece {
    Result rows;
    int asked = 0;
  };
  Piece TakeAhead(const std::string& cursor);
  // The cursor's reader closes: a piece fetched for it is dropped.
  void DropAhead(const std::string& cursor) noexcept;
  // Takes in what has come of the fetches on their way, and of the
  // sibling's, so that the servers can go on sending while the reader works.
  void ReceiveAhead() noexcept;

  // Starts COPY ... FROM STDIN (statements of our own may come before it in
  // the same text); the caller sends the data, ends it and takes
  // the result with FinishCopy, failed or not (Failed tells).
  void StartCopy(const std::string& statement);
  Result FinishCopy();
  // Starts COPY ... TO STDOUT; ReadCopyLine then gives its lines one by one
  // (without the LF), and false after the last once the server said the
  // COPY succeeded (its error raised otherwise). Nothing else may run on
  // the session until then.
  void StartCopyOut(const std::string& statement);
  bool ReadCopyLine(std::string& line);
  static bool Failed(const PGresult* r);

 private:
  struct Token {};

 public:
  Session(Token, PGconn* conn, std::string location, std::chrono::milliseconds lock_wait);

 private:
  // The next result, waiting in slices (cancelling the statement once
  // interrupted when `interruptible`); nullptr after a command's last.
  PGresult* NextResult(bool interruptible, bool& cancelled);
  // Sends `before`, the statement and `after` in one pipeline and returns
  // the statement's result; raises the first failure.
  Result Pipelined(const std::vector<std::string>& before, const Send& send, const std::vector<std::string>& after,
                   Result* first_after = nullptr);
  std::vector<Result> PipelinedAll(const std::vector<std::string>& before, const std::vector<Send>& sends,
                                   const std::vector<std::string>& after, Result* first_after = nullptr);
  Result RunIn(StatementKind kind, std::string_view statement, const Send& send, bool pipelined, const std::string* then,
               Result* then_result);
  // Sends and waits for every result; Await raises the first failure.
  std::vector<Result> Collect(const Send& send, bool interruptible);
  std::vector<Result> Await(const Send& send, bool interruptible);
  Result Single(std::vector<Result> results);
  void CheckInterrupted() const;
  // The error of a failed result of the statement running.
  ComError Refused(const PGresult* r) const;
  // Names the caller's statement that runs while it lives, for a wait for a
  // lock that runs out to say what it waited for.
  class Running {
   public:
    Running(Session& s, std::string_view statement) : s_(s), before_(s.running_) {
      if (!statement.empty()) s.running_ = statement;
    }
    ~Running() { s_.running_ = before_; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    Session& s_;
    std::string_view before_;
  };
  void Counted(std::string_view statement, const PGresult* r);
  std::string LockCall(std::string_view function) const;
  void LoseSnapshot() noexcept;
  // Waits for every fetch on its way, keeps their pieces and ends the
  // pipeline; a failure is raised unless its reader is gone.
  void SettleAhead();
  // Takes in the oldest `count` fetches on their way; after a failure takes
  // in the rest too, ends the pipeline and raises it unless its reader is
  // gone.
  void TakeInAhead(size_t count);
  // Ends the pipeline of fetches ahead once all have come.
  void EndFetchingAhead();

  PGconn* conn_;
  std::string location_;
  std::chrono::milliseconds lock_wait_;
  std::string_view running_;
  int32_t lock_key_ = 0;
  bool lock_held_ = false;
  std::function<bool()> interrupted_;
  RowChangeCounts* counts_ = nullptr;
  std::map<std::string, Prepared, std::less<>> prepared_;
  std::map<Oid, bool> binary_types_;
  std::map<std::string, std::set<std::string, std::less<>>, std::less<>> defaults_;
  std::map<std::string, std::vector<bool>, std::less<>> binary_parameters_;
  std::map<std::string, ReadSize, std::less<>> read_sizes_;
  bool snapshot_ = false;
  std::shared_ptr<Session> sibling_;
  bool sibling_asked_ = false;
  std::set<std::string, std::less<>> snapshot_reads_;  // texts that ran in the snapshot
  int next_name_ = 0;
  uint64_t next_layout_ = 0;
  int cursors_open_ = 0;
  HeldRows held_;
  std::vector<std::string> cursors_to_close_;
  struct Ahead {
    std::string cursor;
    Piece piece;
    bool dropped = false;  // its reader closed before it came
  };
  bool fetching_ahead_ = false;  // in pipeline mode for fetches ahead
  std::deque<Ahead> on_their_way_;  // oldest first
  std::vector<Ahead> fetched_ahead_;
};

}  // namespace kestrel::store::postgres
