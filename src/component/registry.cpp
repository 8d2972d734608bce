// Placeholder registry until the registry file reader lands: finds nothing.
#include "component/registry.h"

#include <cstdlib>

namespace Kestrel20ImpExp {
namespace {
class EmptyRegistry : public Registry {
 public:
  bool GetKeyValue(uint32_t, const std::string&, const std::string&, std::string&) override { return false; }
};
}  // namespace

std::shared_ptr<Registry> CreateRegistry() { return std::make_shared<EmptyRegistry>(); }

std::string RegistryFilePath() {
  const char* env = std::getenv("KESTREL_REGISTRY");
  return env ? env : "";
}

}  // namespace Kestrel20ImpExp
