// Reading `bcp`'s arguments: server, user and password are accepted and
// unused, since a store's location carries all it needs to be opened.
#include "bcp_arguments.h"

#include <fmt/format.h>

#include "kestrel/store.h"

namespace kestrel::cli {

namespace {

int64_t PositiveNumber(const std::string& option, const std::string& text) {
  int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || n > 1000000000)
      throw BcpUsageError{fmt::format("{} needs a positive number, not \"{}\"", option, text)};
    n = n * 10 + (c - '0');
  }
  if (text.empty() || n < 1) throw BcpUsageError{option + " needs a positive number"};
  return n;
}

}  // namespace

BcpArguments ParseBcpArguments(const std::vector<std::string>& args) {
  if (args.size() < 3 || args[1] != "in") throw BcpUsageError{"expected STORE..TABLE in FILE"};
  BcpArguments a;
  const auto dots = args[0].rfind("..");
  if (dots == std::string::npos || dots == 0 || dots + 2 == args[0].size())
    throw BcpUsageError{fmt::format("\"{}\" is not STORE..TABLE", store::MaskedLocation(args[0]))};
  a.store = args[0].substr(0, dots);
  a.table = args[0].substr(dots + 2);
  a.file = args[2];
  for (size_t i = 3; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "-c") continue;
    if (option != "-m" && option != "-b" && option != "-C" && option != "-t" && option != "-S" && option != "-U" &&
        option != "-P")
      throw BcpUsageError{fmt::format("unknown argument \"{}\"", option)};
    if (i + 1 == args.size()) throw BcpUsageError{option + " needs a value"};
    const std::string& value = args[++i];
    if (option == "-m" && PositiveNumber(option, value) != 1)
      throw BcpUsageError{"-m: loading stops at the first error; only 1 is supported"};
    if (option == "-b") a.rows_per_batch = PositiveNumber(option, value);
    if (option == "-C" && value != "RAW") throw BcpUsageError{"-C: only RAW (no code page conversion) is supported"};
    if (option == "-t" && value != std::string(1, store::kDataFieldSeparator))
      throw BcpUsageError{"-t: fields are separated by character 1 only"};
  }
  return a;
}

}  // namespace kestrel::cli
