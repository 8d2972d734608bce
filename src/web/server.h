// `kestrel serve`: the web wizard over HTTP on this machine. It listens on
// the loopback address unless told another, on a free port unless given one,
// prints one line with its address and access token, and serves the pages
// and the wizard's JSON interface to requests that pass the access checks
// (access.h) until SIGINT or SIGTERM, which also stop a running import (it
// rolls back).
//
// Callers guarantee: called once, on the main thread, before any other
// thread of the program starts.
#pragma once

#include <ostream>
#include <string>

#include "web/wizard.h"

namespace kestrel::web {

struct ServeOptions {
  WizardOptions wizard;
  std::string bind = "127.0.0.1";
  int port = 0;  // 0: a free port the system picks
};

// Serves until a signal ends it; the address line goes to `out`, flushed.
// Throws kestrel::ComError when the address cannot be listened on, or the
// HTTP server's library cannot be loaded.
void Serve(const ServeOptions& options, std::ostream& out);

// The HTTP server is a library of its own beside libkestrel.so, loaded by
// Serve: every other command runs without the HTTP library and the TLS and
// compression libraries it brings (some 1.3 MiB of memory once loaded).
// Its entry resolves the wizard's own functions from the program.
inline constexpr const char kWebLibraryFile[] = "libkestrel-web.so";
inline constexpr const char kWebLibraryEntry[] = "kestrel_web_serve";
using WebLibraryEntry = void (*)(const ServeOptions&, std::ostream&);

}  // namespace kestrel::web
