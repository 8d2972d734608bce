// Turns SQLite's result codes into the store failures callers see.
#include "store/sqlite/store_error.h"

#include <sqlite3.h>

#include <fmt/format.h>

#include "base/errors_ours.h"

namespace kestrel::store::sqlite {

ComError StoreError(int extended_code, const std::string& message) {
  switch (extended_code & 0xff) {
    case SQLITE_BUSY: return ComError(Number(Ours::StoreLocked), TextWithDetail(Ours::StoreLocked, message));
    case SQLITE_LOCKED:
    case SQLITE_INTERRUPT:
    case SQLITE_FULL:
      return ComError(Number(Ours::StoreFailure),
                      TextWithDetail(Ours::StoreFailure,
                                     fmt::format("{} (SQLite code {})", message, extended_code)));
    default: return ComError(extended_code, message);
  }
}

ComError StoreError(sqlite3* db) { return StoreError(sqlite3_extended_errcode(db), sqlite3_errmsg(db)); }

bool IsStoreBusy(const ComError& e) { return e.number() == Number(Ours::StoreLocked); }

}  // namespace kestrel::store::sqlite
