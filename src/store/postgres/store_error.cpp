// Turns the server's refusals into the store failures callers see.
#include "store/postgres/store_error.h"

#include "base/errors_ours.h"
#include "store/lock_wait.h"
#include "store/open.h"

namespace kestrel::store::postgres {
namespace {

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

bool Is(std::string_view sqlstate, std::string_view code) { return sqlstate == code; }

}  // namespace

int32_t SqlStateNumber(std::string_view sqlstate) {
  int32_t n = 0;
  for (size_t i = 0; i < sqlstate.size() && i < 5; ++i)
    n |= static_cast<int32_t>((static_cast<unsigned char>(sqlstate[i]) - '0') & 0x3f) << (6 * i);
  return n;
}

std::string WithState(const std::string& message, std::string_view sqlstate) {
  return message + " (SQLSTATE " + std::string(sqlstate) + ")";
}

ComError StoreError(std::string_view sqlstate, const std::string& message) {
  const std::string with_state = WithState(message, sqlstate);
  // 55P03: a lock not had within lock_timeout; 40P01: a deadlock.
  if (Is(sqlstate, kLockNotAvailable) || Is(sqlstate, "40P01"))
    return ComError(Number(Ours::StoreLocked), TextWithDetail(Ours::StoreLocked, with_state));
  // 57014: cancelled; class 53: insufficient resources (53100 a full disk).
  if (Is(sqlstate, kQueryCanceled) || sqlstate.substr(0, 2) == "53")
    return ComError(Number(Ours::StoreFailure), TextWithDetail(Ours::StoreFailure, with_state));
  return ComError(SqlStateNumber(sqlstate), with_state);
}

ComError StoreError(const PGresult* result) {
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
  const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL);
  std::string message = primary ? primary : Trimmed(PQresultErrorMessage(result));
  if (detail && *detail) message += ": " + std::string(detail);
  return StoreError(state ? state : kConnectionFailure, message);
}

ComError StoreError(const PGresult* result, const std::string& location, std::string_view statement,
                    std::chrono::milliseconds waited) {
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  if (state && Is(state, kLockNotAvailable)) return LockNotHad(location, statement, waited);
  const ComError e = StoreError(result);
  Place place;
  place.path = MaskedLocation(location);
  // The table of a broken constraint; a missing one is named in the message
  // alone ('relation "qzmap999" does not exist').
  if (const char* table = PQresultErrorField(result, PG_DIAG_TABLE_NAME)) place.table = table;
  const std::string_view text = e.description();
  if (place.table.empty() && state && Is(state, kUndefinedTable) && text.starts_with("relation \""))
    place.table = text.substr(10, text.find('"', 10) - 10);
  return ComError(e.number(), e.description(), std::move(place));
}

ComError ConnectionError(const PGconn* conn) {
  return ComError(SqlStateNumber(kConnectionFailure), WithState(Trimmed(PQerrorMessage(conn)), kConnectionFailure));
}

}  // namespace kestrel::store::postgres
