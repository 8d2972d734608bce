// Libraries that only some commands need, loaded on demand: ours (the server
// store backend, the web wizard's HTTP server) from the folder that holds
// libkestrel.so, where they are built and installed beside it, and system
// libraries by the loader's own search. Loading them only when needed keeps
// them and their dependencies out of every other run.
#pragma once

#include <string>

#include "kestrel/export.h"

namespace kestrel {

// The folder of the library holding this code (libkestrel.so, or the program
// it is linked into), with its final "/"; "" when the loader cannot tell.
KESTREL_API std::string LibraryFolder();

// The address of the C-linkage `entry` of the library `file` (a file name,
// looked for beside libkestrel.so, else by the system's search). nullptr when
// it cannot be loaded or lacks the entry; `failure` then says why, in the
// loader's words. A library once loaded stays loaded for the process.
KESTREL_API void* LoadLibraryEntry(const std::string& file, const char* entry, std::string& failure);

// The same for the system library `soname` (such as "libcrypto.so.3"), found
// by the loader's usual search, as a library linked to the program would be.
KESTREL_API void* LoadSystemLibraryEntry(const std::string& soname, const char* entry, std::string& failure);

}  // namespace kestrel
