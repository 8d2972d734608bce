// Fuzz target: the "IIS=" setting of LumoConfig.ini below the installation
// folder. Its reader never fails and always gives a setting.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "importer/import_context.h"
#include "importer/install.h"
#include "memory_env.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::MemoryEnv env;
  importer::ImportContext cx(env);
  cx.InstallationPath = "/opt/lumo";
  env.Put(importer::LumoConfigPath(cx), std::string_view(reinterpret_cast<const char*>(data), size));
  if (importer::ReadIISSetting(cx).empty()) __builtin_trap();
  return 0;
}
