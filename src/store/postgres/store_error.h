// The one way a refusal of the PostgreSQL server becomes a ComError.
//
// The number is the server's own code for the SQLSTATE (its five characters
// packed six bits each, as the server numbers its errors), so that each
// condition keeps one number; the text is the server's message followed by
// "(SQLSTATE 42P01)", the code as the server's documentation lists it, and a
// statement's failure has the store's location (masked) as its place. Where that
// number would stand for a condition the callers know under our own numbers,
// ours is used, as the SQLite backend does: the write lock not had or a
// deadlock is Ours::StoreLocked; a cancelled statement (an interruption) or a
// full disk is Ours::StoreFailure, the server's message kept.
#pragma once

#include <libpq-fe.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "kestrel/error.h"

namespace kestrel::store::postgres {

// The server's number of a five-character SQLSTATE ("42P01").
int32_t SqlStateNumber(std::string_view sqlstate);

ComError StoreError(std::string_view sqlstate, const std::string& message);
// The error of a failed result.
ComError StoreError(const PGresult* result);
// As StoreError(result), but a lock not had within lock_timeout (`waited`)
// fails as store::LockNotHad, naming the tables of `statement`, the store's
// `location` and the seconds waited.
ComError StoreError(const PGresult* result, const std::string& location, std::string_view statement,
                    std::chrono::milliseconds waited);
// The last error of the connection (a lost connection, a refused send).
ComError ConnectionError(const PGconn* conn);

// Conditions callers tell apart.
inline constexpr std::string_view kUndefinedTable = "42P01";
inline constexpr std::string_view kQueryCanceled = "57014";
inline constexpr std::string_view kLockNotAvailable = "55P03";
inline constexpr std::string_view kConnectionFailure = "08006";

}  // namespace kestrel::store::postgres
