// `bcp`: the bulk loader that the import's batch files run, taking exactly
// the arguments their lines carry:
//   bcp STORE..TABLE in FILE -c -m 1 -b ROWS -C RAW -t SEP -S SERVER -U USER -P PASSWORD
// The store is the location before the last "..": a store file, or a
// postgresql:// URI, whose rows load through COPY as an import's do. Server,
// user and password are accepted and unused: a store file has no logins, and a
// server store takes its login from the URI and libpq's usual places
// (PGPASSWORD, ~/.pgpass). Exit 0 after a complete load, 1 when it failed
// (rows of committed batches stay), 2 on a usage error.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/env.h"
#include "kestrel/error.h"
#include "kestrel/store.h"
#include "bcp_arguments.h"

namespace {

constexpr const char* kUsage =
    "usage: bcp STORE..TABLE in FILE -c -m 1 -b ROWS -C RAW -t SEP -S SERVER -U USER -P PASSWORD\n"
    "Loads FILE (rows ended by CR LF, fields separated by SEP, character 1) into TABLE of the store\n"
    "STORE, committing every ROWS rows and stopping at the first row that cannot be loaded.\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  kestrel::cli::BcpArguments a;
  try {
    a = kestrel::cli::ParseBcpArguments(args);
  } catch (const kestrel::cli::BcpUsageError& e) {
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
