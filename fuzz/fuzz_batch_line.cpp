// Fuzz target: one line of an application's batch file, split into its
// arguments as the import runs it, then read as `bcp` reads them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/bcp_arguments.h"
#include "importer/batch_runner.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args = importer::SplitBatchLine(std::string_view(reinterpret_cast<const char*>(data), size));
  if (args.empty() || args[0] != "bcp") return 0;
  args.erase(args.begin());
  try {
    cli::BcpArguments a = cli::ParseBcpArguments(args);
    if (a.store.empty() || a.table.empty() || a.rows_per_batch < 1) __builtin_trap();
  } catch (const cli::BcpUsageError&) {
  }
  return 0;
}
