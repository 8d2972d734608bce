// kestrel depth: the depth a profile would have as a child of a given parent.
// It only reads the store: no installation is needed. A parent the store
// does not hold is refused (the component's GetDepthOfProfile would answer 2
// for it).
#include <cstdint>
#include <iostream>
#include <string>

#include "command.h"
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
  AddRegistryOption(sub, o.registry, "ignored: depth reads only the store (taken for the scripts that pass it)");
  AddJsonFlag(sub, o.json, "print {\"parent\": N, \"depth\": D}");
}

int RunDepth(const DepthOptions& o) {
  kestrel::Store store = OpenStore(o.store);
  const int depth = kestrel::ProfileDepth(store, o.parent, CommandContext());
  if (o.json)
    PrintJson(std::cout, Json{{"parent", o.parent}, {"depth", depth}});
  else
    std::cout << depth << '\n';
  return 0;
}

const Registration kDepth{"depth", "print the depth a profile would have under parent N (1 for parent 0)",
                          DeclareDepthOptions, RunDepth};

}  // namespace
}  // namespace kestrel::cli
