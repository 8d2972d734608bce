// `bcp`: the bulk loader that the import's batch files run, taking exactly
// the arguments their lines carry:
//   bcp STORE..TABLE in FILE -c -m 1 -b ROWS -C RAW -t SEP -S SERVER -U USER -P PASSWORD
// The store is the location before the last "..": a store file, or a
// postgresql:// URI, whose rows load through COPY as an import's do. Server,
// user and password are accepted and unused: a store file has no logins, and a
// server store takes its login from the URI and libpq's usual places
// (PGPASSWORD, ~/.pgpass). Exit 0 after a complete load, 1 when it failed
// (rows of committed batches stay), 2 on a usage error.
//
// A batch import starts bcp once for every data file, so most of a small
// file's time was the start of the program. Where the build allows, bcp is
// linked with our code, SQLite and the C++ run time inside it (see
// CMakeLists.txt), and its start no longer loads and relocates four shared
// libraries. The server backend is a shared library built on libkestrel.so,
// which such a program cannot load beside its own copy of that code: a
// server store goes to `kestrel bcp`, which runs this same loader (bcp_run.h)
// with the backend. Every build hands server stores over alike.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kestrel/env.h"
#include "kestrel/error.h"
#include "bcp_run.h"

namespace {

// Why `program` could not be started: "File not found" (53) when it is not
// there, else the system's number and text.
kestrel::ComError FailedStart(int failure, const std::string& program) {
  if (failure == ENOENT)
    return kestrel::ComError(kestrel::rt::FileNotFound,
                             std::string(kestrel::RuntimeErrorText(kestrel::rt::FileNotFound)) + ": " + program);
  return kestrel::ComError(failure, std::string(std::strerror(failure)) + ": " + program);
}

int HandOverToKestrel(const std::vector<std::string>& args) {
  const std::string program = kestrel::Env::Default().ProgramFolder() + "/kestrel";
  std::vector<std::string> words = {"kestrel", "bcp"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  // Only a failed start comes back here.
  const kestrel::ComError e = FailedStart(errno, program);
  std::fprintf(stderr, "bcp: error %d: %s (a store on a server is loaded by the kestrel program beside bcp)\n",
               static_cast<int>(e.number()), e.description().c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  return kestrel::cli::RunBcp(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), HandOverToKestrel);
}
