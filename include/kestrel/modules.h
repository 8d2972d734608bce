// Libraries of ours that only some commands need (the server store backend,
// the web wizard's HTTP server), loaded on demand from the folder that holds
// libkestrel.so, where they are built and installed beside it. Loading them
// only when needed keeps their own dependencies out of every other run.
#pragma once

#include <string>

namespace kestrel {

// The address of the C-linkage `entry` of the library `file` (a file name,
// looked for beside libkestrel.so, else by the system's search). nullptr when
// it cannot be loaded or lacks the entry; `failure` then says why, in the
// loader's words. A library once loaded stays loaded for the process.
void* LoadLibraryEntry(const std::string& file, const char* entry, std::string& failure);

}  // namespace kestrel
