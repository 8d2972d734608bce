// Serve: loads the web wizard's HTTP server (libkestrel-web.so, from the
// folder of libkestrel.so, where both are built and installed) and runs it.
#include "web/server.h"

#include <dlfcn.h>
#include <fmt/format.h>

#include "kestrel/error.h"
#include "kestrel/errors.h"
#include "kestrel/interruption.h"

namespace kestrel::web {
namespace {

[[noreturn]] void RaiseNotLoaded(const std::string& why) {
  throw kestrel::ComError(kestrel::Number(kestrel::Ours::Internal),
                          fmt::format("{}: the web wizard's library could not be loaded: {}",
                                      kestrel::DefaultText(kestrel::Ours::Internal), why));
}

WebLibraryEntry LoadWebLibrary() {
  std::string path = kWebLibraryFile;
  // Any function of libkestrel.so names its file.
  Dl_info library{};
  if (::dladdr(reinterpret_cast<void*>(&kestrel::RequestInterruption), &library) != 0 &&
      library.dli_fname != nullptr) {
    const std::string beside = library.dli_fname;
    const size_t slash = beside.rfind('/');
    if (slash != std::string::npos) path = beside.substr(0, slash + 1) + kWebLibraryFile;
  }
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    RaiseNotLoaded(why != nullptr ? why : path);
  }
  void* entry = ::dlsym(handle, kWebLibraryEntry);
  if (entry == nullptr) RaiseNotLoaded(path + ": no " + kWebLibraryEntry);
  return reinterpret_cast<WebLibraryEntry>(entry);
}

}  // namespace

void Serve(const ServeOptions& options, std::ostream& out) { LoadWebLibrary()(options, out); }

}  // namespace kestrel::web
