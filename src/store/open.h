// Opening and creating stores by location: the one place that chooses the
// backend (kestrel/store.h declares Open, Create, IsServerLocation and
// MaskedLocation; open.cpp and secrets.cpp define them). A location is a
// file path (an SQLite store) or a server's URI or key=value pairs (a server
// store, store/postgres/).
#pragma once

#include <string>
#include <string_view>

#include "kestrel/store.h"
#include "store/connection.h"

namespace kestrel::store {

// `text` with every password of the server location `location` replaced by
// "***", also as the client library decodes it: for messages of a client
// library that may quote a malformed location.
std::string WithoutPasswords(std::string text, const std::string& location);

// Refuses a store that opened but is not a profile store (an SQLite file of
// other tables, a server schema without ours) with Ours::NotAProfileStore,
// naming `location` (masked) as its place, before a statement of ours fails
// on a table it lacks.
void RequireProfileStore(Connection& c, const std::string& location);
// Open, then RequireProfileStore: how the engine and the diff open a store.
std::shared_ptr<Connection> OpenProfileStore(const std::string& location, int lock_wait_seconds);
// Whether two connections reach one store, however their locations differ
// (another path to the same file, a link, another spelling of a server's
// URI): the same file, or the same server, database and schema.
bool SameStore(Connection& a, Connection& b);

// The location a store name stands for (kestrel/named_stores.h), through the
// process's Env; any other text as it is. A location holding a NUL byte is
// refused with Ours::NulInArgument.
std::string Resolved(const std::string& given);

}  // namespace kestrel::store
