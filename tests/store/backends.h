// The store backends every conformance test runs on, and what each one
// answers in its own numbering. A new backend adds its row here and must pass
// the suites unchanged.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

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
};

inline std::vector<StoreBackend> AllStoreBackends() {
  return {
      {"Sqlite", [](const std::string& folder) { return folder + "/store.db"; }, /*SQLITE_ERROR*/ 1,
       /*SQLITE_CONSTRAINT_UNIQUE*/ 2067, "pragma busy_timeout=0"},
  };
}

// Test names and messages show the backend by its name.
inline void PrintTo(const StoreBackend& b, std::ostream* os) { *os << b.name; }

inline std::string BackendName(const ::testing::TestParamInfo<StoreBackend>& param) { return param.param.name; }

}  // namespace kestrel::testing
