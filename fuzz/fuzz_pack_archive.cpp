// Fuzz target: the pack archive's reader, unpacking into a private folder
// made anew for each input. Whatever the input, nothing lands outside that
// folder: the target checks that the folder's parent holds nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "kestrel/error.h"
#include "kestrel/pack_archive.h"
#include "pack/archive.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string parent = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    ::setenv("TMPDIR", pattern.c_str(), 1);
    return pattern;
  }();
  PackArchiveLimits limits;
  limits.total_bytes = 1 << 20;
  limits.entries = 64;
  {
    PrivateFolder folder(Env::Default());
    try {
      pack::UnpackArchive(std::string_view(reinterpret_cast<const char*>(data), size), folder.path(), "fuzz", limits);
    } catch (const ComError&) {
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
      if (!entry.is_regular_file(/*no follow*/) || entry.is_symlink()) std::abort();
  }
  if (!std::filesystem::is_empty(parent)) std::abort();
  return 0;
}
