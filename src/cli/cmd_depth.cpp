// kestrel depth: the depth a profile would have as a child of a given parent.
// The engine has no call for it: the component's GetDepthOfProfile answers.
#include <cstdint>
#include <iostream>
#include <string>

#include "command.h"
#include "import_object.h"
#include "output.h"
#include "shared_options.h"
#include "kestrel/store.h"

namespace kestrel::cli {
namespace {

struct DepthOptions {
  std::string store;
  int32_t parent = 0;
  std::string registry;
  bool json = false;
};

void DeclareDepthOptions(CLI::App& sub, DepthOptions& o) {
  AddStoreOption(sub, o.store);
  sub.add_option("--parent", o.parent, "parent profile number (0 for a root)")
      ->required()
      ->check(ProfileNumberCheck(0))
      ->type_name("NUMBER");
  AddRegistryOption(sub, o.registry);
  AddJsonFlag(sub, o.json, "print {\"parent\": N, \"depth\": D}");
}

int RunDepth(const DepthOptions& o) {
  return WithImportObject(o.registry, [&](Kestrel20ImpExp::clsImport& import) {
    import.putref_DataConnection(OpenStore(o.store).Connection());
    int32_t mprf = 0, pprf = o.parent, depth = 0;
    if (!import.GetDepthOfProfile(mprf, pprf, depth))
      return Fail(import.get_ErrorNumber(), import.get_ErrorDescription());
    if (o.json)
      PrintJson(std::cout, Json{{"parent", o.parent}, {"depth", depth}});
    else
      std::cout << depth << '\n';
    return 0;
  });
}

const Registration kDepth{"depth", "print the depth a profile would have under parent N (1 for parent 0)",
                          DeclareDepthOptions, RunDepth};

}  // namespace
}  // namespace kestrel::cli
