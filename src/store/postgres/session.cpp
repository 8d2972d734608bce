// Sending statements to the server and waiting for them in slices, so that
// an interruption cancels the one running; the savepoint around each
// statement inside a transaction; the write lock; counting rows.
#include "store/postgres/session.h"

#include <poll.h>

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <utility>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/open.h"
#include "store/sql.h"
#include "store/postgres/store_error.h"
#include "store/postgres/values.h"

namespace kestrel::store::postgres {
namespace {

// How long one wait for the server's answer lasts before the interruption
// is asked again.
constexpr int kWaitSliceMs = 50;
// The first key of the store's write lock (the second is its schema's
// number): "KSTR".
constexpr int32_t kLockClass = 0x4b535452;
constexpr std::string_view kStatementSavepoint = "kestrel_statement";
// Select texts whose facts are remembered (all are forgotten when full).
constexpr size_t kRememberedTexts = 512;

void IgnoreNotice(void*, const char*) {}

int64_t RowsOf(const PGresult* r) {
  const char* n = PQcmdTuples(const_cast<PGresult*>(r));
  int64_t rows = 0;
  if (n) std::from_chars(n, n + std::char_traits<char>::length(n), rows);
  return rows;
}

}  // namespace

std::shared_ptr<Session> Session::Connect(const std::string& location, std::chrono::milliseconds lock_wait) {
  PGconn* conn = PQconnectdb(location.c_str());
  if (PQstatus(conn) != CONNECTION_OK) {
    ComError e = ConnectionError(conn);
    PQfinish(conn);
    Place place;
    place.path = MaskedLocation(location);
    std::string text = fmt::format("{}: {}", WithoutPasswords(e.description(), location), place.path);
    throw ComError(e.number(), std::move(text), std::move(place));
  }
  PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
  auto s = std::make_shared<Session>(Token{}, conn, location, lock_wait);
  // Every byte 1-255 is one LATIN1 character: values go and come back as
  // they are, and the server keeps them as the characters they stand for.
  const std::string encoding = PQparameterStatus(conn, "server_encoding");
  if (encoding != "UTF8" && encoding != "SQL_ASCII" && encoding != "LATIN1")
    Raise(Ours::StoreKindUnsupported,
          fmt::format("The database's encoding {} cannot hold every byte a pack carries (UTF8, SQL_ASCII or LATIN1 "
                      "can): {}",
                      encoding, MaskedLocation(location)));
  if (PQsetClientEncoding(conn, "LATIN1") != 0) throw ConnectionError(conn);
  // A lock_timeout of 0 would wait for ever: no wait is the shortest one.
  std::string setup = fmt::format("set standard_conforming_strings = on; set bytea_output = 'hex'; set lock_timeout = {}",
                                  std::max<int64_t>(lock_wait.count(), 1));
  // Compiling a plan to machine code costs the server more than our
  // statements gain from it (up to 0.7 s for one export read at scale 10200):
  // they are short, or read rows as fast as the client takes them.
  if (PQserverVersion(conn) >= 110000) setup += "; set jit = off";
  s->Control(setup);
  s->lock_key_ = static_cast<int32_t>(std::stol(
      s->ControlValue("select coalesce((select oid::int8 from pg_namespace where nspname = current_schema()), 0)")));
  return s;
}

Session::Session(Token, PGconn* conn, std::string location, std::chrono::milliseconds lock_wait)
    : conn_(conn), location_(std::move(location)), lock_wait_(lock_wait) {}

Session::~Session() { PQfinish(conn_); }

bool Session::InTransaction() const { return PQtransactionStatus(conn_) != PQTRANS_IDLE; }

void Session::CheckInterrupted() const {
  if (interrupted_ && interrupted_()) throw StoreError(kQueryCanceled, "canceling statement due to user request");
}

ComError Session::Refused(const PGresult* r) const { return StoreError(r, location_, running_, lock_wait_); }

std::vector<Result> Session::Await(const Send& send, bool interruptible) {
  std::vector<Result> results = Collect(send, interruptible);
  for (const auto& r : results)
    if (Failed(r.get())) throw Refused(r.get());
  return results;
}

PGresult* Session::NextResult(bool interruptible, bool& cancelled) {
  while (PQisBusy(conn_)) {
    pollfd p{PQsocket(conn_), POLLIN, 0};
    const int ready = ::poll(&p, 1, kWaitSliceMs);
    if (interruptible && !cancelled && interrupted_ && interrupted_()) {
      // The server ends the statement with "canceling statement due to
      // user request", which is the error the caller sees.
      if (PGcancel* cancel = PQgetCancel(conn_)) {
        char message[256];
        PQcancel(cancel, message, sizeof message);
        PQfreeCancel(cancel);
      }
      cancelled = true;
    }
    if (ready != 0 && !PQconsumeInput(conn_)) throw ConnectionError(conn_);
  }
  return PQgetResult(conn_);
}

std::vector<Result> Session::Collect(const Send& send, bool interruptible) {
  SettleAhead();
  if (!send(conn_)) throw ConnectionError(conn_);
  bool cancelled = false;
  std::vector<Result> results;
  while (PGresult* r = NextResult(interruptible, cancelled)) {
    const auto status = PQresultStatus(r);
    results.emplace_back(r);
    if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT) break;
  }
  return results;
}

Result Session::Pipelined(const std::vector<std::string>& before, const Send& send,
                          const std::vector<std::string>& after, Result* first_after) {
  std::vector<Result> results = PipelinedAll(before, {send}, after, first_after);
  return std::move(results.front());
}

std::vector<Result> Session::PipelinedAll(const std::vector<std::string>& before, const std::vector<Send>& sends,
                                          const std::vector<std::string>& after, Result* first_after) {
  SettleAhead();
  if (PQenterPipelineMode(conn_) != 1) throw ConnectionError(conn_);
  const auto queue = [&](const std::string& statement) {
    if (!PQsendQueryParams(conn_, statement.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0))
      throw ConnectionError(conn_);
  };
  std::vector<Result> statements(sends.size());
  Result failure;
  try {
    for (const auto& b : before) queue(b);
    for (const auto& send : sends)
      if (!send(conn_)) throw ConnectionError(conn_);
    for (const auto& a : after) queue(a);
    if (PQpipelineSync(conn_) != 1) throw ConnectionError(conn_);
    bool cancelled = false;
    const size_t first = before.size(), next = first + sends.size(), queries = next + after.size();
    for (size_t q = 0; q < queries; ++q) {
      while (PGresult* r = NextResult(true, cancelled)) {
        Result owned(r);
        if (Failed(r) && !failure) failure = std::move(owned);
        else if (q >= first && q < next) statements[q - first] = std::move(owned);
        else if (first_after && q == next && PQresultStatus(r) != PGRES_PIPELINE_ABORTED)
          *first_after = std::move(owned);
      }
    }
    // The pipeline's end.
    Result sync(NextResult(true, cancelled));
  } catch (...) {
    PQexitPipelineMode(conn_);
    throw;
  }
  PQexitPipelineMode(conn_);
  if (failure) throw Refused(failure.get());
  for (const auto& r : statements)
    if (!r) Raise(Ours::Internal, "The server answered nothing");
  return statements;
}

std::vector<Result> Session::RunReadsTogether(const std::vector<Send>& sends) {
  SendHeld();
  CheckInterrupted();
  try {
    return PipelinedAll(std::exchange(cursors_to_close_, {}), sends, {});
  } catch (...) {
    if (PQtransactionStatus(conn_) == PQTRANS_INERROR) LoseSnapshot();
    throw;
  }
}

Result Session::Single(std::vector<Result> results) {
  if (results.empty()) Raise(Ours::Internal, "The server answered nothing");
  return std::move(results.back());
}

void Session::SendHeld() {
  // Every statement passes here first: the transaction's state is known
  // once no fetch is on its way.
  SettleAhead();
  if (!held_.empty()) held_.Send(*this);
}

void Session::Control(const std::string& statements) {
  SendHeld();
  Await([&](PGconn* c) { return PQsendQuery(c, statements.c_str()); }, false);
  // A commit or rollback ends the snapshot.
  if (!InTransaction()) {
    snapshot_ = false;
    sibling_.reset();
    sibling_asked_ = false;
  }
}

std::shared_ptr<Session> Session::SnapshotSibling() {
  if (!snapshot_ || sibling_asked_) return sibling_;
  sibling_asked_ = true;
  // Standby servers export snapshots from version 10 on.
  if (PQserverVersion(conn_) < 100000) return nullptr;
  // Not in a savepoint, which the server refuses to export from: a
  // snapshot fails to export only when the transaction is failing anyway.
  const std::string id = ControlValue("select pg_export_snapshot()");
  try {
    std::shared_ptr<Session> sibling = Connect(location_, lock_wait_);
    sibling->Control("begin transaction isolation level repeatable read, read only; set transaction snapshot " +
                     sql::Quoted(id));
    sibling->snapshot_ = true;
    sibling_ = std::move(sibling);
  } catch (const ComError&) {
    // The reads go on this session alone, as on a server that has no
    // connection to spare.
  }
  return sibling_;
}

Result Session::ControlRows(const std::string& statement) {
  SendHeld();
  return Single(Await([&](PGconn* c) { return PQsendQuery(c, statement.c_str()); }, false));
}

std::string Session::ControlValue(const std::string& statement) {
  const Result r = ControlRows(statement);
  return PQntuples(r.get()) > 0 && !PQgetisnull(r.get(), 0, 0) ? PQgetvalue(r.get(), 0, 0) : "";
}

std::string Session::LockCall(std::string_view function) const {
  return fmt::format("select {}({}, {})", function, kLockClass, lock_key_);
}

void Session::TakeWriteLock() {
  Control(LockCall("pg_advisory_xact_lock"));
  lock_held_ = true;
}

bool Session::TryWriteLock() {
  lock_held_ = ControlValue(LockCall("pg_try_advisory_xact_lock")) == "t";
  return lock_held_;
}

Result Session::Run(StatementKind kind, std::string_view statement, const Send& send, bool pipelined) {
  return RunIn(kind, statement, send, pipelined, nullptr, nullptr);
}

Result Session::RunThen(StatementKind kind, std::string_view statement, const Send& send, const std::string& then,
                        Result& then_result) {
  return RunIn(kind, statement, send, true, &then, &then_result);
}

void Session::CloseCursorLater(const std::string& cursor) {
  if (InTransaction() && PQtransactionStatus(conn_) != PQTRANS_INERROR) {
    cursors_to_close_.push_back("close " + cursor);
    return;
  }
  try {
    Control("close " + cursor);
  } catch (const ComError&) {
    // A cursor declared inside a savepoint rolled back since is gone already.
  }
}

Result Session::RunIn(StatementKind kind, std::string_view statement, const Send& send, bool pipelined,
                      const std::string* then, Result* then_result) {
  SendHeld();
  const Running running(*this, statement);
  const auto status = PQtransactionStatus(conn_);
  if (status == PQTRANS_IDLE && snapshot_) {
    snapshot_ = false;
    snapshot_reads_.clear();
  }
  if (!cursors_to_close_.empty() && (kind == StatementKind::Control || status != PQTRANS_INTRANS)) {
    const std::vector<std::string> closes = std::exchange(cursors_to_close_, {});
    // Outside a transaction they go now. A statement of the caller's own may
    // end the transaction or roll back to a savepoint, so the cursors may be
    // gone: they are left to the session's end.
    if (status == PQTRANS_IDLE) {
      std::string all;
      for (const auto& c : closes) all += c + ";";
      try {
        Control(all);
      } catch (const ComError&) {
      }
    }
  }
  if (kind == StatementKind::Control || status == PQTRANS_INERROR) return Single(Await(send, true));
  CheckInterrupted();
  Result r;
  if (status == PQTRANS_IDLE && kind == StatementKind::Read) {
    r = Single(Await(send, true));
  } else if (status == PQTRANS_IDLE) {
    // A change on its own is a transaction of its own under the lock.
    try {
      if (pipelined) {
        r = Pipelined({"begin", LockCall("pg_advisory_xact_lock")}, send, {"commit"});
      } else {
        Control("begin; " + LockCall("pg_advisory_xact_lock"));
        r = Single(Await(send, true));
        Control("commit");
      }
    } catch (...) {
      try {
        if (InTransaction()) Control("rollback");
      } catch (...) {
      }
      throw;
    }
  } else if (pipelined && NeedsNoSavepoint(kind, statement)) {
    std::vector<std::string> after;
    if (then) after.push_back(*then);
    try {
      r = Pipelined(std::exchange(cursors_to_close_, {}), send, after, then ? then_result : nullptr);
    } catch (...) {
      if (PQtransactionStatus(conn_) == PQTRANS_INERROR) LoseSnapshot();
      throw;
    }
  } else {
    // A failed statement would end the whole transaction: the savepoint
    // keeps it as it was before the statement, as SQLite does.
    const std::string savepoint(kStatementSavepoint);
    const bool lock = kind == StatementKind::Write && !lock_held_;
    try {
      if (pipelined) {
        std::vector<std::string> before = std::exchange(cursors_to_close_, {});
        before.push_back("savepoint " + savepoint);
        if (lock) before.push_back(LockCall("pg_advisory_xact_lock"));
        std::vector<std::string> after{"release savepoint " + savepoint};
        if (then) after.insert(after.begin(), *then);
        r = Pipelined(before, send, after, then ? then_result : nullptr);
      } else {
        Control("savepoint " + savepoint);
        if (lock) Control(LockCall("pg_advisory_xact_lock"));
        r = Single(Await(send, true));
        Control("release savepoint " + savepoint);
      }
    } catch (...) {
      try {
        if (PQtransactionStatus(conn_) == PQTRANS_INERROR)
          Control("rollback to savepoint " + savepoint + "; release savepoint " + savepoint);
      } catch (...) {
      }
      throw;
    }
    if (lock) lock_held_ = true;
  }
  if (!InTransaction()) lock_held_ = false;
  if (snapshot_ && kind == StatementKind::Read && !statement.empty() && !NeedsNoSavepoint(kind, statement)) {
    if (snapshot_reads_.size() >= kRememberedTexts) snapshot_reads_.clear();
    snapshot_reads_.emplace(statement);
  }
  Counted(statement, r.get());
  return r;
}

bool Session::NeedsNoSavepoint(StatementKind kind, std::string_view statement) const {
  if (!snapshot_ || kind != StatementKind::Read || statement.empty()) return false;
  return statement.rfind("fetch ", 0) == 0 || snapshot_reads_.find(statement) != snapshot_reads_.end();
}

void Session::BeginSnapshot() {
  // The snapshot is taken by the first statement: take it now, before
  // anything else commits.
  Control("begin transaction isolation level repeatable read, read only; select 1");
  snapshot_ = true;
  snapshot_reads_.clear();
}

void Session::LoseSnapshot() noexcept {
  // The failed transaction took its cursors with it. It stays failed: a
  // snapshot taken anew would let the reads after this one see a later
  // store than the reads before it, and a pack must come from one state of
  // the store. Every later read in it is refused by the server, and its end
  // rolls it back.
  cursors_to_close_.clear();
  snapshot_reads_.clear();
}

Session::ReadSize& Session::SizeOfReads(std::string_view statement) {
  auto known = read_sizes_.find(statement);
  if (known != read_sizes_.end()) return known->second;
  if (read_sizes_.size() >= kRememberedTexts) read_sizes_.clear();
  return read_sizes_[std::string(statement)];
}

Result Session::RunText(std::string_view statement) {
  const std::string text(statement);
  return Run(KindOf(text), text, [&](PGconn* c) {
    return PQsendQueryParams(c, text.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0);
  });
}

Result Session::RunPrepared(StatementKind kind, std::string_view statement, const Prepared& p,
                            const char* const* values) {
  return Run(kind, statement, [&](PGconn* c) {
    return PQsendQueryPrepared(c, p.name.c_str(), static_cast<int>(p.binary_params.size()), values, nullptr, nullptr, 0);
  });
}

void Session::Counted(std::string_view statement, const PGresult* r) {
  if (!counts_) return;
  const std::string_view tag = PQcmdStatus(const_cast<PGresult*>(r));
  const bool insert = tag.rfind("INSERT ", 0) == 0, remove = tag.rfind("DELETE ", 0) == 0;
  if (!insert && !remove) return;
  const int64_t rows = RowsOf(r);
  if (rows == 0) return;
  const std::string table = TableChanged(statement);
  if (table.empty()) return;
  RowChange& change = (*counts_)[table];
  (insert ? change.added : change.deleted) += rows;
}

void Session::CountAdded(std::string_view table, int64_t rows) {
  if (counts_ && rows > 0) (*counts_)[std::string(table)].added += rows;
}

const Prepared& Session::Prepare(std::string_view statement) {
  auto known = prepared_.find(statement);
  if (known != prepared_.end()) return known->second;
  const std::string text(statement);
  const std::string name = fmt::format("kestrel_{}", ++next_name_);
  const Running running(*this, text);
  Run(StatementKind::Read, "", [&](PGconn* c) { return PQsendPrepare(c, name.c_str(), text.c_str(), 0, nullptr); });
  Result d = Single(Await([&](PGconn* c) { return PQsendDescribePrepared(c, name.c_str()); }, false));
  Prepared p;
  p.name = name;
  for (int i = 0, n = PQnparams(d.get()); i < n; ++i) p.binary_params.push_back(IsBinaryType(PQparamtype(d.get(), i)));
  for (int i = 0, n = PQnfields(d.get()); i < n; ++i) {
    // The store's insertion order stays unseen (it is the last column).
    if (i == n - 1 && PQfname(d.get(), i) == sql::kInsertionOrderColumn) break;
    p.column_types.push_back(PQftype(d.get(), i));
    p.column_names.emplace_back(PQfname(d.get(), i));
  }
  return prepared_.emplace(text, std::move(p)).first->second;
}

const std::vector<bool>& Session::BinaryParameters(std::string_view statement) {
  auto known = binary_parameters_.find(statement);
  if (known != binary_parameters_.end()) return known->second;
  // Texts with their values written in are many: forget them all at times.
  if (binary_parameters_.size() >= kRememberedTexts) binary_parameters_.clear();
  const std::string text(statement);
  // Not the unnamed statement: the savepoint around this one replaces it.
  static constexpr char kName[] = "kestrel_describe";
  Run(StatementKind::Read, "", [&](PGconn* c) { return PQsendPrepare(c, kName, text.c_str(), 0, nullptr); });
  Result d;
  try {
    d = Single(Await([](PGconn* c) { return PQsendDescribePrepared(c, kName); }, false));
  } catch (...) {
    Control(std::string("deallocate ") + kName);
    throw;
  }
  Control(std::string("deallocate ") + kName);
  std::vector<bool> binary;
  for (int i = 0, n = PQnparams(d.get()); i < n; ++i) binary.push_back(IsBinaryType(PQparamtype(d.get(), i)));
  return binary_parameters_.emplace(text, std::move(binary)).first->second;
}

bool Session::IsBinaryType(Oid type) {
  if (type == kByteaType) return true;
  // Types below this number are the server's own; a domain of bytea is not.
  constexpr Oid kFirstUserType = 16384;
  if (type < kFirstUserType) return false;
  auto known = binary_types_.find(type);
  if (known != binary_types_.end()) return known->second;
  const std::string base = ControlValue(fmt::format("select typbasetype from pg_type where oid = {}", type));
  const bool binary = !base.empty() && base != "0" && IsBinaryType(static_cast<Oid>(std::stoul(base)));
  return binary_types_[type] = binary;
}

bool Session::HasDefault(std::string_view table, std::string_view column) {
  auto known = defaults_.find(table);
  if (known == defaults_.end()) {
    std::set<std::string, std::less<>> names;
    const Result r = ControlRows(
        fmt::format("select attname from pg_attribute where attrelid = to_regclass({}) and attnum > 0 and"
                    " not attisdropped and (atthasdef or attidentity <> '' or attgenerated <> '')",
                    sql::Quoted(table)));
    for (int i = 0, n = PQntuples(r.get()); i < n; ++i) names.emplace(PQgetvalue(r.get(), i, 0));
    known = defaults_.emplace(std::string(table), std::move(names)).first;
  }
  return known->second.count(column) > 0;
}

std::string Session::NewCursorName() { return fmt::format("kestrel_cursor_{}", ++next_name_); }

void Session::StartCopy(const std::string& statement) {
  SendHeld();
  const Running running(*this, statement);
  CheckInterrupted();
  Await([&](PGconn* c) { return PQsendQuery(c, statement.c_str()); }, false);
}

Result Session::FinishCopy() { return Single(Collect([](PGconn*) { return 1; }, true)); }

void Session::StartCopyOut(const std::string& statement) {
  SendHeld();
  const Running running(*this, statement);
  CheckInterrupted();
  const std::vector<Result> results = Await([&](PGconn* c) { return PQsendQuery(c, statement.c_str()); }, false);
  if (results.empty() || PQresultStatus(results.back().get()) != PGRES_COPY_OUT)
    Raise(Ours::Internal, "The server did not start to copy: " + statement);
}

bool Session::ReadCopyLine(std::string& line) {
  char* buffer = nullptr;
  const int n = PQgetCopyData(conn_, &buffer, 0);
  if (n > 0) {
    // The LF that ends every line is no part of it.
    line.assign(buffer, static_cast<size_t>(n) - (buffer[n - 1] == '\n' ? 1 : 0));
    PQfreemem(buffer);
    return true;
  }
  if (buffer) PQfreemem(buffer);
  if (n == -2) throw ConnectionError(conn_);
  const Result done = FinishCopy();
  if (Failed(done.get())) throw StoreError(done.get());
  return false;
}

bool Session::Failed(const PGresult* r) {
  const auto status = PQresultStatus(r);
  return status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE || status == PGRES_NONFATAL_ERROR;
}

}  // namespace kestrel::store::postgres
