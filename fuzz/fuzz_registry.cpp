// Fuzz target: the registry file. Any bytes as the file: the installation
// lookup reads it, then a value is recorded in it and must read back as
// recorded.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "kestrel/registry.h"
#include "memory_env.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string key = "SOFTWARE\\Corvane\\Tresk\\Tresk2.0";
  fuzzing::MemoryEnv env;
  env.Put("/etc/kestrel/registry.ini", std::string_view(reinterpret_cast<const char*>(data), size));
  RegistryFile registry(env, "/etc/kestrel/registry.ini");
  try {
    std::string value;
    registry.GetKeyValue(HKEY_LOCAL_MACHINE_VALUE, key, "Path", value);
    registry.GetKeyValue(HKEY_CURRENT_USER_VALUE, "Software\\Kestrel", "Store", value);
    registry.SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, key, "Path", "/opt/lumo studio");
    std::string read;
    if (!registry.GetKeyValue(HKEY_LOCAL_MACHINE_VALUE, key, "Path", read) || read != "/opt/lumo studio")
      __builtin_trap();
  } catch (const ComError&) {
  }
  return 0;
}
