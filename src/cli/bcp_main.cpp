// `bcp`: the bulk loader that the import's batch files run, taking exactly
// the arguments their lines carry:
//   bcp STORE..TABLE in FILE -c -m 1 -b ROWS -C RAW -t SEP -S SERVER -U USER -P PASSWORD
// The store is the file path before the last "..". Server, user and password
// are accepted and unused: the embedded store has no logins. Exit 0 after a
// complete load, 1 when it failed (rows of committed batches stay), 2 on a
// usage error.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/env.h"
#include "kestrel/error.h"
#include "kestrel/store.h"

namespace {

constexpr const char* kUsage =
    "usage: bcp STORE..TABLE in FILE -c -m 1 -b ROWS -C RAW -t SEP -S SERVER -U USER -P PASSWORD\n"
    "Loads FILE (rows ended by CR LF, fields separated by SEP, character 1) into TABLE of the store\n"
    "STORE, committing every ROWS rows and stopping at the first row that cannot be loaded.\n";

struct UsageError {
  std::string text;
};

struct Arguments {
  std::string store, table, file;
  int64_t rows_per_batch = 1000;
};

int64_t PositiveNumber(const std::string& option, const std::string& text) {
  int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || n > 1000000000) throw UsageError{option + " needs a positive number, not \"" + text + "\""};
    n = n * 10 + (c - '0');
  }
  if (text.empty() || n < 1) throw UsageError{option + " needs a positive number"};
  return n;
}

Arguments Parse(const std::vector<std::string>& args) {
  if (args.size() < 3 || args[1] != "in") throw UsageError{"expected STORE..TABLE in FILE"};
  Arguments a;
  const auto dots = args[0].rfind("..");
  if (dots == std::string::npos || dots == 0 || dots + 2 == args[0].size())
    throw UsageError{"\"" + args[0] + "\" is not STORE..TABLE"};
  a.store = args[0].substr(0, dots);
  a.table = args[0].substr(dots + 2);
  a.file = args[2];
  for (size_t i = 3; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "-c") continue;
    if (option != "-m" && option != "-b" && option != "-C" && option != "-t" && option != "-S" && option != "-U" &&
        option != "-P")
      throw UsageError{"unknown argument \"" + option + "\""};
    if (i + 1 == args.size()) throw UsageError{option + " needs a value"};
    const std::string& value = args[++i];
    if (option == "-m" && PositiveNumber(option, value) != 1)
      throw UsageError{"-m: loading stops at the first error; only 1 is supported"};
    if (option == "-b") a.rows_per_batch = PositiveNumber(option, value);
    if (option == "-C" && value != "RAW") throw UsageError{"-C: only RAW (no code page conversion) is supported"};
    if (option == "-t" && value != std::string(1, kestrel::store::kDataFieldSeparator))
      throw UsageError{"-t: fields are separated by character 1 only"};
  }
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  Arguments a;
  try {
    a = Parse(args);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "bcp: %s\n%s", e.text.c_str(), kUsage);
    return 2;
  }
  try {
    auto c = kestrel::store::Open(a.store);
    kestrel::store::BulkLoadOptions options;
    options.rows_per_batch = a.rows_per_batch;
    // The loader stands alone: the machine's own Env is its way to the system.
    kestrel::store::BulkLoadCounts n = kestrel::store::BulkLoadFile(kestrel::Env::Default(), *c, a.table, a.file, options);
    std::printf("%lld rows copied.\n", static_cast<long long>(n.rows_loaded));
    return 0;
  } catch (const std::exception& ex) {
    kestrel::ComError e = kestrel::AsComError(ex);
    std::fprintf(stderr, "bcp: error %d: %s\n", static_cast<int>(e.number()), e.description().c_str());
    return 1;
  }
}
