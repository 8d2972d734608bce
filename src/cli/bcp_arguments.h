// The arguments of `bcp` as the import's batch lines carry them:
//   STORE..TABLE in FILE -c -m 1 -b ROWS -C RAW -t SEP -S SERVER -U USER -P PASSWORD
// Kept apart from the program so that they can be read without running it.
// A caller passes the arguments without the program's own name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::cli {

// Arguments that do not fit; the text says which and why.
struct BcpUsageError {
  std::string text;
};

struct BcpArguments {
  std::string store, table, file;  // the store is the location (path or URI) before the last ".."
  int64_t rows_per_batch = 1000;
};

// Raises BcpUsageError for anything else than the form above.
BcpArguments ParseBcpArguments(const std::vector<std::string>& args);

}  // namespace kestrel::cli
