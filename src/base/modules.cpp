// Loading on-demand libraries: ours from the folder of libkestrel.so, the
// system's by the loader's search.
#include "kestrel/modules.h"

#include <dlfcn.h>

#include <fmt/format.h>

namespace kestrel {

std::string LibraryFolder() {
  static const char anchor = 0;
  Dl_info self{};
  if (::dladdr(&anchor, &self) == 0 || self.dli_fname == nullptr) return "";
  const std::string here = self.dli_fname;
  const size_t slash = here.rfind('/');
  return slash == std::string::npos ? "" : here.substr(0, slash + 1);
}

namespace {

void* LoadEntry(const std::string& path, const char* entry, std::string& failure) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    failure = why != nullptr ? why : path;
    return nullptr;
  }
  void* address = ::dlsym(handle, entry);
  if (address == nullptr) failure = fmt::format("{}: no {}", path, entry);
  return address;
}

}  // namespace

void* LoadLibraryEntry(const std::string& file, const char* entry, std::string& failure) {
  return LoadEntry(LibraryFolder() + file, entry, failure);
}

void* LoadSystemLibraryEntry(const std::string& soname, const char* entry, std::string& failure) {
  return LoadEntry(soname, entry, failure);
}

}  // namespace kestrel
