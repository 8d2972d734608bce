// The registry component the installation lookup reads through: one call,
// GetKeyValue(hive, key, value name, data). The default implementation reads
// an INI-style file of our own (sections are key paths, entries value names).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace Kestrel20ImpExp {

inline constexpr uint32_t HKEY_LOCAL_MACHINE_VALUE = 0x80000002u;

class Registry {
 public:
  virtual ~Registry() = default;
  // True when the value was found and read into `data` (left unchanged otherwise).
  virtual bool GetKeyValue(uint32_t hive, const std::string& key, const std::string& value_name,
                           std::string& data) = 0;
};

// The registry file of this machine: $KESTREL_REGISTRY, else
// $XDG_CONFIG_HOME/kestrel/registry.ini (~/.config/...) when it exists, else
// /etc/kestrel/registry.ini.
std::shared_ptr<Registry> CreateRegistry();
std::string RegistryFilePath();

}  // namespace Kestrel20ImpExp
