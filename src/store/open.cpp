// Choosing the backend from a store's location, a store's name resolved first.
#include "store/open.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "kestrel/env.h"
#include "kestrel/modules.h"
#include "kestrel/named_stores.h"
#include "store/server_backend.h"
#include "store/sqlite/connection.h"
#include "store/statements_store.h"

namespace kestrel::store {
namespace {

// Loads the server backend library from the folder of the library that holds
// this code, once per process. A library that cannot be loaded (not
// installed, or its own dependencies missing) fails each server location
// with the loader's reason; store files keep working.
const ServerBackend& ServerStores() {
  struct Loaded {
    const ServerBackend* backend = nullptr;
    std::string failure;
  };
  static const Loaded loaded = [] {
    Loaded l;
    if (void* entry = LoadLibraryEntry(kServerBackendFile, kServerBackendEntry, l.failure))
      l.backend = reinterpret_cast<ServerBackendEntry>(entry)();
    return l;
  }();
  if (loaded.backend == nullptr)
    RaiseWithDetail(Ours::StoreKindUnsupported, "the server store backend could not be loaded: " + loaded.failure);
  return *loaded.backend;
}

// Both backends take the location as a C string: a NUL in it would open
// another store than the one named.
const std::string& Checked(const std::string& location) {
  if (location.find('\0') != std::string::npos)
    RaiseWithDetail(Ours::NulInArgument, "store location " + QuoteForMessage(MaskedLocation(location)));
  return location;
}

}  // namespace

std::string Resolved(const std::string& given) {
  return ResolveStoreLocation(Env::Default(), Checked(given)).location;
}

std::shared_ptr<Connection> Open(const std::string& given, int lock_wait_seconds) {
  const std::chrono::milliseconds wait = std::chrono::seconds(std::max(lock_wait_seconds, 0));
  const std::string location = Resolved(given);
  if (IsServerLocation(location)) return ServerStores().open(location, wait);
  return sqlite::SqliteConnection::Open(location, wait);
}

void RequireProfileStore(Connection& c, const std::string& location) {
  // The header table is the one every profile store has, whatever else it
  // lacks; a store missing another table is refused where that table is used.
  constexpr std::string_view kHeaderTable = "qzmap100";
  try {
    c.Columns(kHeaderTable);
  } catch (const ComError& e) {
    if (!c.IsMissingTable(e)) throw;
    Place place;
    place.path = MaskedLocation(location);
    place.table = kHeaderTable;
    std::string text = TextWithDetail(Ours::NotAProfileStore, place.path);
    throw ComError(Number(Ours::NotAProfileStore), std::move(text), std::move(place));
  }
}

namespace {

// The file of an SQLite store as the file system knows it (device and
// inode), else the server's answer; "" for a store with no file (in memory).
std::string Identity(Connection& c) {
  const auto rs = c.OpenRecordset(SelectStoreIdentity(c.dialect()));
  const std::string text = rs->IsEOF() || rs->Fields(0).IsNull() ? std::string() : rs->Fields(0).Text();
  if (c.dialect() != Dialect::Sqlite) return "server " + text;
  struct stat st {};
  if (text.empty() || ::stat(text.c_str(), &st) != 0) return "";
  return fmt::format("file {}:{}", st.st_dev, st.st_ino);
}

}  // namespace

bool SameStore(Connection& a, Connection& b) {
  if (&a == &b) return true;
  if (a.dialect() != b.dialect()) return false;
  const std::string id = Identity(a);
  return !id.empty() && id == Identity(b);
}

std::shared_ptr<Connection> OpenProfileStore(const std::string& location, int lock_wait_seconds) {
  std::shared_ptr<Connection> c = Open(location, lock_wait_seconds);
  RequireProfileStore(*c, location);
  return c;
}

std::shared_ptr<Connection> Create(const std::string& given) {
  const std::string location = Resolved(given);
  if (IsServerLocation(location)) return ServerStores().create(location);
  return sqlite::SqliteConnection::Create(location);
}

BulkLoadCounts BulkLoadFile(Env& env, Connection& c, std::string_view table, const std::string& data_file,
                            const BulkLoadOptions& options) {
  if (!c.CanBulkLoad()) throw ComError(kNoBulkRights, std::string(kNoBulkRightsText));
  return c.BulkLoad(env, table, data_file, options);
}

}  // namespace kestrel::store
