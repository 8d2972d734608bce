// The one way a refusal of SQLite becomes a ComError. Callers pass the handle
// whose last call failed (or a code and text they already hold).
#pragma once

#include <string>

#include "kestrel/error.h"

struct sqlite3;

namespace kestrel::store::sqlite {

// SQLite's extended code and message, except where its code would read as a
// run-time number of another meaning: a busy store (5, "Invalid procedure
// call") is Ours::StoreLocked, a locked table (6), an interruption (9) or a
// full disk (13) are Ours::StoreFailure; both keep SQLite's message.
ComError StoreError(int extended_code, const std::string& message);
ComError StoreError(sqlite3* db);

// Whether `e` is a busy store: another connection holds the lock.
bool IsStoreBusy(const ComError& e);

}  // namespace kestrel::store::sqlite
