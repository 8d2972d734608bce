// One run of the bulk loader from the arguments of an import's batch line:
//   STORE..TABLE in FILE -c -m 1 -b ROWS -C RAW -t SEP -S SERVER -U USER -P PASSWORD
// Shared by the `bcp` program and by `kestrel bcp`, the run that bcp hands a
// server store over to (see bcp_main.cpp), so that both load, report and fail
// alike. A caller passes the arguments without the program's own name.
#pragma once

#include <string>
#include <vector>

namespace kestrel::cli {

// Runs a load into a server store where the program running it cannot, and
// returns its exit code; nullptr where the program loads server stores itself.
using ServerHandOver = int (*)(const std::vector<std::string>& args);

// Parses `args`, loads the file and says on stdout "N rows copied.", or on
// stderr "bcp: error N: DESCRIPTION" (the store's password masked) or the
// usage. Returns the exit code: 0 after a complete load, 1 when it failed
// (rows of committed batches stay), 2 on a usage error.
int RunBcp(const std::vector<std::string>& args, ServerHandOver hand_over);

}  // namespace kestrel::cli
