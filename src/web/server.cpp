// Serve: loads the web wizard's HTTP server (libkestrel-web.so, from the
// folder of libkestrel.so, where both are built and installed) and runs it.
#include "web/server.h"

#include <fmt/format.h>

#include "kestrel/error.h"
#include "kestrel/errors.h"
#include "kestrel/modules.h"

namespace kestrel::web {
namespace {

[[noreturn]] void RaiseNotLoaded(const std::string& why) {
  throw kestrel::ComError(kestrel::Number(kestrel::Ours::Internal),
                          fmt::format("{}: the web wizard's library could not be loaded: {}",
                                      kestrel::DefaultText(kestrel::Ours::Internal), why));
}

WebLibraryEntry LoadWebLibrary() {
  std::string failure;
  void* entry = kestrel::LoadLibraryEntry(kWebLibraryFile, kWebLibraryEntry, failure);
  if (entry == nullptr) RaiseNotLoaded(failure);
  return reinterpret_cast<WebLibraryEntry>(entry);
}

}  // namespace

void Serve(const ServeOptions& options, std::ostream& out) { LoadWebLibrary()(options, out); }

}  // namespace kestrel::web
