// The import's write unit: the lock wait and what it tells, the count of the
// rows changed, and the commit or rollback at the end.
#include "importer/import_unit.h"

#include <chrono>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "importer/run_log.h"
#include "store/connection.h"
#include "store/open.h"
#include "store/write_unit.h"

namespace kestrel::importer {
namespace {

// Counts the rows the connection changes while it lives.
class RowCounting {
 public:
  RowCounting(store::Connection& c, store::RowChangeCounts& counts) : c_(c) { c_.CountRowChanges(&counts); }
  ~RowCounting() { c_.CountRowChanges(nullptr); }
  RowCounting(const RowCounting&) = delete;
  RowCounting& operator=(const RowCounting&) = delete;

 private:
  store::Connection& c_;
};

// Records the unit's failure in r and as the message, and logs it.
bool Fail(const ImportContext& cx, ImportResults& r, Error& message, int32_t number, const std::string& text) {
  r.Error.Set(number, text);
  message = r.Error.value();
  LogFailure(cx, message);
  return false;
}

bool FailOurs(const ImportContext& cx, ImportResults& r, Error& message, Ours e, const std::string& detail) {
  std::string text(DefaultText(e));
  if (!detail.empty()) text += ": " + detail;
  return Fail(cx, r, message, Number(e), text);
}

store::WriteLockOptions LockOptions(const ImportOptions& o, const ImportContext& cx, const std::string& where) {
  store::WriteLockOptions lock;
  lock.wait = std::chrono::seconds(o.LockWaitSeconds < 0 ? 0 : o.LockWaitSeconds);
  lock.waiting = [&cx, &o, where] {
    cx.Tell(fmt::format("Waiting up to {} s for the write lock of {}, which another program holds ...",
                        o.LockWaitSeconds, where));
  };
  lock.interrupted = [&cx] { return cx.StopRequested(); };
  return lock;
}

}  // namespace

bool RunAsOneUnit(const ImportOptions& o, const ImportContext& cx, ImportResults& r, Error& message,
                  const std::function<bool(const ImportContext&)>& body) {
  ImportSummary& summary = r.Summary;
  const auto started = std::chrono::steady_clock::now();
  summary = ImportSummary{};
  summary.DryRun = o.DryRun;
  // Nothing to write into: the run time's words for an object not set.
  if (!cx.DataConnection)
    return Fail(cx, r, message, rt::ObjectNotSet, std::string(RuntimeErrorText(rt::ObjectNotSet)));
  store::Connection& c = *cx.DataConnection;
  const std::string where = store::MaskedLocation(c.location());

  store::WriteUnit unit(c);
  try {
    if (!unit.Begin(LockOptions(o, cx, where))) {
      if (cx.StopRequested()) return FailOurs(cx, r, message, Ours::ImportInterrupted, "");
      return FailOurs(cx, r, message, Ours::StoreLocked,
                      fmt::format("{} (waited {} s)", where, o.LockWaitSeconds));
    }
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    return Fail(cx, r, message, e.number(), e.description());
  }

  bool ok = false;
  {
    RowCounting counting(c, summary.Rows);
    try {
      ok = body(cx);
    } catch (const std::exception& ex) {
      const ComError e = AsComError(ex);
      ok = Fail(cx, r, message, e.number(), e.description());
    }
    // Whatever the import made of the stopped statement, it was stopped.
    if (cx.StopRequested()) ok = FailOurs(cx, r, message, Ours::ImportInterrupted, "");
    if (ok && !o.DryRun) {
      try {
        if (cx.BeforeCommit) cx.BeforeCommit();
        unit.Commit();
        summary.Committed = true;
      } catch (const std::exception& ex) {
        const ComError e = AsComError(ex);
        ok = Fail(cx, r, message, e.number(), e.description());
      }
    }
  }
  if (unit.open()) {
    unit.Rollback();
    Log(cx, ok ? LogKind::DryRunRolledBack : LogKind::RolledBack);
  }
  summary.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return ok;
}

}  // namespace kestrel::importer
