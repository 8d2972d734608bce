// Opening and creating stores by location: the one place that chooses the
// backend. A location is a file path (an SQLite store) or a
// "postgresql://" / "postgres://" URI (a server store, which this build
// refuses with Ours::StoreKindUnsupported).
#pragma once

#include <memory>
#include <string>

#include "store/connection.h"

namespace kestrel::store {

// Opens an existing store. A missing store file fails with 53
// "File not found: " + path and is never created.
std::shared_ptr<Connection> Open(const std::string& location);
// Creates a new empty store; fails with 58 when the file exists.
std::shared_ptr<Connection> Create(const std::string& location);

// The location as a message may show it: the password of a server URI (in its
// user part or a "password" parameter) replaced by "***".
std::string MaskedLocation(const std::string& location);

}  // namespace kestrel::store
