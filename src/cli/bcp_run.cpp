// The bulk loader's run: its arguments read, the store opened, the file
// loaded, and what happened said as the batch files' callers read it.
#include "bcp_run.h"

#include <cstdio>

#include "kestrel/env.h"
#include "kestrel/error.h"
#include "kestrel/store.h"
#include "bcp_arguments.h"

namespace kestrel::cli {
namespace {

constexpr const char* kUsage =
    "usage: bcp STORE..TABLE in FILE -c -m 1 -b ROWS -C RAW -t SEP -S SERVER -U USER -P PASSWORD\n"
    "Loads FILE (rows ended by CR LF, fields separated by SEP, character 1) into TABLE of the store\n"
    "STORE, committing every ROWS rows and stopping at the first row that cannot be loaded.\n";

}  // namespace

int RunBcp(const std::vector<std::string>& args, ServerHandOver hand_over) {
  BcpArguments a;
  try {
    a = ParseBcpArguments(args);
  } catch (const BcpUsageError& e) {
    std::fprintf(stderr, "bcp: %s\n%s", e.text.c_str(), kUsage);
    return 2;
  }
  if (hand_over != nullptr && store::IsServerLocation(a.store)) return hand_over(args);
  try {
    auto c = store::Open(a.store);
    store::BulkLoadOptions options;
    options.rows_per_batch = a.rows_per_batch;
    // The loader stands alone: the machine's own Env is its way to the system.
    const store::BulkLoadCounts n = store::BulkLoadFile(Env::Default(), *c, a.table, a.file, options);
    std::printf("%lld rows copied.\n", static_cast<long long>(n.rows_loaded));
    return 0;
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    std::fprintf(stderr, "bcp: error %d: %s\n", static_cast<int>(e.number()), e.description().c_str());
    return 1;
  }
}

}  // namespace kestrel::cli
