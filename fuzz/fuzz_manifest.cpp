// Fuzz target: the manifest ExportMR.log, read by the strict check that comes
// before the details are shown, by the import's lenient reading and line by
// line through the option lines' readers. The pack folder holds the manifest
// and two record files, so listed files are found or missed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "memory_env.h"
#include "pack/manifest.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::MemoryEnv env;
  env.Put("/pack/ExportMR.log", std::string_view(reinterpret_cast<const char*>(data), size));
  env.Put("/pack/Qzmap100.dat", "30\x01" "ACC10\x01" "ACCX2\r\n");
  env.Put("/pack/qzddi150ACCX2.dat", "");
  try {
    pack::CheckManifestForDetails(env, "/pack");
  } catch (const ComError&) {
  }
  try {
    pack::ManifestOptions options;
    pack::ReadLogicPackManifest(env, "/pack", options);
  } catch (const ComError&) {
  }
  try {
    auto lines = pack::manifest::Lines::Open(env, "/pack");
    for (;;) {
      std::string line = lines->Next();
      pack::manifest::RevisionsValue(line);
      pack::manifest::SyncValue(line);
      try {
        pack::manifest::NewProfileValue(line);
      } catch (const ComError&) {
      }
    }
  } catch (const ComError&) {
    // The end of the file ends the loop.
  }
  return 0;
}
