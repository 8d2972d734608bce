// How SQLite's refusals reach callers: a busy store under our lock number,
// codes that would read as run-time numbers of another meaning under the
// store failure's, every other code as SQLite's extended code, always with
// SQLite's message.
#include <gmock/gmock.h>

#include "kestrel/errors.h"
#include "store/sqlite/store_error.h"

namespace kestrel::store::sqlite {
namespace {

using ::testing::HasSubstr;

// SQLite's codes as numbers: tests stay outside the backend's headers.
struct Row {
  int code;
  std::string message;
  int32_t number;
  std::string text;  // a fragment of the description
  bool busy;
};

TEST(StoreErrorTest, EveryCodeKeepsItsMeaning) {
  const Row rows[] = {
      {5, "database is locked", 9031, "The store is locked by another program: database is locked", true},
      {517, "database is locked", 9031, "locked by another program", true},
      {6, "database table is locked", 9003,
       "The profile store refused the statement: database table is locked (SQLite code 6)", false},
      {9, "interrupted", 9003, "interrupted (SQLite code 9)", false},
      {13, "database or disk is full", 9003, "database or disk is full (SQLite code 13)", false},
      {8, "attempt to write a readonly database", 8,
       "attempt to write a readonly database", false},
      {2067, "UNIQUE constraint failed: qzmap100.mprf", 2067,
       "UNIQUE constraint failed: qzmap100.mprf", false},
      {1, "no such table: qzmap999", 1, "no such table: qzmap999", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    const ComError e = StoreError(row.code, row.message);
    EXPECT_EQ(e.number(), row.number);
    EXPECT_THAT(e.description(), HasSubstr(row.text));
    EXPECT_EQ(IsStoreBusy(e), row.busy);
  }
}

}  // namespace
}  // namespace kestrel::store::sqlite
