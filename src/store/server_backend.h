// The server store backend is a library of its own (libkestrel-postgres.so,
// built and installed beside libkestrel.so), loaded the first time a server
// location is opened: a program that only ever opens store files never loads
// the server's client library and everything that comes with it (its
// Kerberos, LDAP and TLS libraries), neither their start-up time nor their
// memory. This header is what the two sides agree on.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "store/connection.h"

namespace kestrel::store {

struct ServerBackend {
  std::shared_ptr<Connection> (*open)(const std::string& location, std::chrono::milliseconds lock_wait);
  std::shared_ptr<Connection> (*create)(const std::string& location);
};

// The backend library's file name, looked for in the folder of the library
// that holds store::Open; and the function it exports, which returns its
// entry points (the library keeps them for as long as it is loaded).
inline constexpr const char kServerBackendFile[] = "libkestrel-postgres.so";
inline constexpr const char kServerBackendEntry[] = "kestrel_server_backend";
using ServerBackendEntry = const ServerBackend* (*)();

}  // namespace kestrel::store
