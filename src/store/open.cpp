// Choosing the backend from a store's location.
#include "store/open.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"
#include "kestrel/modules.h"
#include "store/server_backend.h"
#include "store/sqlite/connection.h"

namespace kestrel::store {
namespace {

constexpr std::string_view kServerSchemes[] = {"postgresql://", "postgres://"};

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

// Where the passwords sit in a server URI, front to back: the one in the
// authority ("user:secret@") and every "password=secret" parameter.
std::vector<std::pair<size_t, size_t>> PasswordSpans(std::string_view s) {
  std::vector<std::pair<size_t, size_t>> spans;
  const size_t start = s.find("://") + 3;
  const size_t end = std::min(s.find_first_of("/?#", start), s.size());
  const size_t at = s.rfind('@', end);
  const size_t colon = s.find(':', start);
  if (at != std::string_view::npos && at >= start && colon != std::string_view::npos && colon < at)
    spans.emplace_back(colon + 1, at - colon - 1);
  const size_t query = s.find('?');
  if (query == std::string_view::npos) return spans;
  for (size_t pos = query + 1; pos < s.size();) {
    const size_t stop = std::min(s.find('&', pos), s.size());
    const size_t eq = s.find('=', pos);
    if (eq < stop && text::EqualNoCase(s.substr(pos, eq - pos), "password")) spans.emplace_back(eq + 1, stop - eq - 1);
    pos = stop + 1;
  }
  return spans;
}

}  // namespace

bool IsServerLocation(std::string_view location) {
  for (std::string_view scheme : kServerSchemes)
    if (location.size() >= scheme.size() && text::EqualNoCase(location.substr(0, scheme.size()), scheme)) return true;
  return false;
}

std::string MaskedLocation(const std::string& location) {
  if (!IsServerLocation(location)) return location;
  std::string s = location;
  const auto spans = PasswordSpans(location);
  for (auto span = spans.rbegin(); span != spans.rend(); ++span) s.replace(span->first, span->second, "***");
  return s;
}

std::string WithoutPasswords(std::string text, const std::string& location) {
  if (!IsServerLocation(location)) return text;
  for (const auto& [pos, length] : PasswordSpans(location)) {
    if (length == 0) continue;
    const std::string password = location.substr(pos, length);
    for (size_t at = text.find(password); at != std::string::npos; at = text.find(password, at + 3))
      text.replace(at, length, "***");
  }
  return text;
}

std::shared_ptr<Connection> Open(const std::string& location, int lock_wait_seconds) {
  const std::chrono::milliseconds wait = std::chrono::seconds(std::max(lock_wait_seconds, 0));
  if (IsServerLocation(location)) return ServerStores().open(location, wait);
  return sqlite::SqliteConnection::Open(location, wait);
}

std::shared_ptr<Connection> Create(const std::string& location) {
  if (IsServerLocation(location)) return ServerStores().create(location);
  return sqlite::SqliteConnection::Create(location);
}

BulkLoadCounts BulkLoadFile(Env& env, Connection& c, std::string_view table, const std::string& data_file,
                            const BulkLoadOptions& options) {
  if (!c.CanBulkLoad()) throw ComError(kNoBulkRights, std::string(kNoBulkRightsText));
  return c.BulkLoad(env, table, data_file, options);
}

}  // namespace kestrel::store
