// kestrel setup: prepares an installation folder and records it in the
// registry file, so that clsImport can be created.
#include <iostream>
#include <string>

#include "command.h"
#include "shared_options.h"
#include "kestrel/error.h"
#include "kestrel/registry.h"

namespace kestrel::cli {
namespace {

// The registry file to write: --registry, else KESTREL_REGISTRY, else this user's.
std::string TargetRegistryFile(kestrel::Env& env, const std::string& option) {
  if (!option.empty()) return option;
  if (std::string chosen = env.Variable("KESTREL_REGISTRY"); !chosen.empty()) return chosen;
  return kestrel::UserRegistryFilePath(env);
}

struct SetupOptions {
  std::string install_dir;
  std::string registry;
};

void DeclareSetupOptions(CLI::App& sub, SetupOptions& o) {
  sub.add_option("--install-dir", o.install_dir, "installation folder to create and record")
      ->required()
      ->type_name("DIR");
  AddRegistryOption(sub, o.registry,
                    "registry file to write (default: $KESTREL_REGISTRY, else ~/.config/kestrel/registry.ini)");
}

int RunSetup(const SetupOptions& o) {
  kestrel::Env& env = CommandEnv();
  const std::string file = TargetRegistryFile(env, o.registry);
  if (file.empty()) return Fail(76, "Path not found: no home folder for the registry file; use --registry FILE");
  const std::string folder = kestrel::RecordInstallation(env, file, o.install_dir);
  std::cout << "recorded installation folder " << folder << " in " << file << '\n';
  return 0;
}

const Registration kSetup{"setup", "create an installation folder and record it in the registry file",
                          DeclareSetupOptions, RunSetup};

}  // namespace
}  // namespace kestrel::cli
