// The store backends every conformance test runs on, and what each one
// answers in its own numbering. A new backend adds its row here and must pass
// the suites unchanged.
//
// The PostgreSQL backend runs on the throwaway server that ctest starts
// (scripts/pg-cluster.sh, KESTREL_TEST_POSTGRES holds its URI); each test gets
// a schema of its own there. Without that server its tests are skipped, and
// say why.
#pragma once

#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "store/connection.h"
#include "store/open.h"

namespace kestrel::testing {

struct StoreBackend {
  std::string name;
  // A location in `folder` (or named after it) where a store can be created.
  std::function<std::string(const std::string& folder)> location;
  // The backend's own error numbers for a missing table and a duplicate key.
  int32_t no_such_table;
  int32_t unique_violation;
  // A statement after which the connection fails at once on a locked store
  // instead of waiting for it.
  std::string fail_when_locked;
  // The store's message for a second row with `value` in the unique `column`
  // of `table`.
  std::function<std::string(std::string_view table, std::string_view column, std::string_view value)> duplicate_key;
  // The store's function that names the type of a value ("integer" for a
  // whole number).
  std::string type_of;
  // Why the backend cannot be tested on this machine; "" when it can.
  std::function<std::string()> unavailable = [] { return std::string(); };
};

inline const char* PostgresTestServer() { return std::getenv("KESTREL_TEST_POSTGRES"); }

// A fresh schema on the test server for the store in `folder` (its name
// holds the process's id: a server kept between runs may still hold an
// earlier run's schema of the same folder name), with the
// binary type the suites' own tables declare ("blob") as bytea, and the URI
// that makes it the store's schema.
inline std::string PostgresStoreIn(const std::string& folder) {
  static std::atomic<int> made{0};
  std::string schema = "kt_";
  for (char c : folder.substr(folder.find_last_of('/') + 1))
    schema += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : '_';
  schema += "_" + std::to_string(getpid()) + "_" + std::to_string(++made);
  const std::string server = PostgresTestServer();
  store::Open(server)->ExecuteScript("create schema " + schema + "; create domain " + schema + ".blob as bytea");
  return server + (server.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" + schema;
}

inline std::vector<StoreBackend> AllStoreBackends() {
  return {
      {"Sqlite", [](const std::string& folder) { return folder + "/store.db"; }, /*SQLITE_ERROR*/ 1,
       /*SQLITE_CONSTRAINT_UNIQUE*/ 2067, "pragma busy_timeout=0",
       [](std::string_view table, std::string_view column, std::string_view) {
         return "UNIQUE constraint failed: " + std::string(table) + "." + std::string(column);
       },
       "typeof"},
      // The server numbers SQLSTATE 42P01 and 23505 with six bits per character.
      {"Postgres", PostgresStoreIn, /*42P01*/ 16908420, /*23505*/ 83906754, "set lock_timeout = 1",
       [](std::string_view table, std::string_view column, std::string_view value) {
         return "duplicate key value violates unique constraint \"" + std::string(table) + "_" + std::string(column) +
                "_key\": Key (" + std::string(column) + ")=(" + std::string(value) + ") already exists. (SQLSTATE 23505)";
       },
       "pg_typeof",
       [] {
         return PostgresTestServer() ? std::string()
                                     : "KESTREL_TEST_POSTGRES is not set: no PostgreSQL server for the tests "
                                       "(ctest starts one when PostgreSQL's programs were found at configure time; "
                                       "scripts/setup.sh installs them)";
       }},
  };
}

// Test names and messages show the backend by its name.
inline void PrintTo(const StoreBackend& b, std::ostream* os) { *os << b.name; }

inline std::string BackendName(const ::testing::TestParamInfo<StoreBackend>& param) { return param.param.name; }

}  // namespace kestrel::testing
