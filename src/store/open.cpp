// Choosing the backend from a store's location.
#include "store/open.h"

#include <dlfcn.h>

#include <algorithm>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"
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
    static const char anchor = 0;
    Dl_info self{};
    std::string path = kServerBackendFile;
    if (::dladdr(&anchor, &self) != 0 && self.dli_fname != nullptr) {
      const std::string here = self.dli_fname;
      const size_t slash = here.rfind('/');
      if (slash != std::string::npos) path = here.substr(0, slash + 1) + kServerBackendFile;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = ::dlerror();
      l.failure = why != nullptr ? why : path;
      return l;
    }
    auto entry = reinterpret_cast<ServerBackendEntry>(::dlsym(handle, kServerBackendEntry));
    if (entry == nullptr) {
      l.failure = path + ": no " + kServerBackendEntry;
      return l;
    }
    l.backend = entry();
    return l;
  }();
  if (loaded.backend == nullptr)
    RaiseWithDetail(Ours::StoreKindUnsupported, "the server store backend could not be loaded: " + loaded.failure);
  return *loaded.backend;
}

bool IsServerLocation(std::string_view location) {
  for (std::string_view scheme : kServerSchemes)
    if (location.size() >= scheme.size() && text::EqualNoCase(location.substr(0, scheme.size()), scheme)) return true;
  return false;
}

// "user:secret@" -> "user:***@" in the authority of the URI.
void MaskUserPassword(std::string& s) {
  const size_t start = s.find("://") + 3;
  const size_t end = std::min(s.find_first_of("/?#", start), s.size());
  const size_t at = s.rfind('@', end);
  if (at == std::string::npos || at < start) return;
  const size_t colon = s.find(':', start);
  if (colon == std::string::npos || colon > at) return;
  s.replace(colon + 1, at - colon - 1, "***");
}

// "...?password=secret&x=1" -> "...?password=***&x=1".
void MaskPasswordParameter(std::string& s) {
  const size_t query = s.find('?');
  if (query == std::string::npos) return;
  size_t pos = query + 1;
  while (pos < s.size()) {
    size_t end = s.find('&', pos);
    if (end == std::string::npos) end = s.size();
    const size_t eq = s.find('=', pos);
    if (eq != std::string::npos && eq < end && text::EqualNoCase(std::string_view(s).substr(pos, eq - pos), "password")) {
      s.replace(eq + 1, end - eq - 1, "***");
      end = eq + 4;
    }
    pos = end + 1;
  }
}

}  // namespace

std::string MaskedLocation(const std::string& location) {
  if (!IsServerLocation(location)) return location;
  std::string s = location;
  MaskUserPassword(s);
  MaskPasswordParameter(s);
  return s;
}

std::shared_ptr<Connection> Open(const std::string& location) {
  if (IsServerLocation(location)) return ServerStores().open(location);
  return sqlite::SqliteConnection::Open(location);
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
