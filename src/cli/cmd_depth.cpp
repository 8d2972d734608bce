// kestrel depth: the depth a profile would have as a child of a given parent.
#include <iostream>
#include <memory>

#include "cli/command.h"
#include "cli/import_object.h"
#include "store/open.h"

namespace kestrel::cli {
namespace {

namespace k = Kestrel20ImpExp;

Registration reg("depth", "print the depth a profile would have under parent N (1 for parent 0)", [](CLI::App& sub) {
  auto store = std::make_shared<std::string>();
  auto parent = std::make_shared<int32_t>(0);
  auto registry = std::make_shared<std::string>();
  sub.add_option("--store", *store, "profile store file")->required();
  sub.add_option("--parent", *parent, "parent profile number (0 for a root)")->required();
  AddRegistryOption(sub, *registry);
  return [store, parent, registry]() -> int {
    return WithImportObject(*registry, [&](k::clsImport& import) {
      import.putref_DataConnection(k::store::Open(*store));
      int32_t mprf = 0, pprf = *parent, depth = 0;
      if (!import.GetDepthOfProfile(mprf, pprf, depth))
        return Fail(import.get_ErrorNumber(), import.get_ErrorDescription());
      std::cout << depth << '\n';
      return 0;
    });
  };
});

}  // namespace
}  // namespace kestrel::cli
