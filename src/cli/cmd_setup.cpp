// kestrel setup: prepares an installation folder and records it in the
// registry file, so that clsImport can be created.
#include <filesystem>
#include <iostream>
#include <string>

#include "command.h"
#include "shared_options.h"
#include "kestrel/error.h"
#include "base/files.h"
#include "kestrel/registry.h"
#include "importer/install.h"

namespace kestrel::cli {
namespace {

// The registry file to write: --registry, else KESTREL_REGISTRY, else this user's.
std::string TargetRegistryFile(kestrel::Env& env, const std::string& option) {
  if (!option.empty()) return option;
  if (std::string chosen = env.Variable("KESTREL_REGISTRY"); !chosen.empty()) return chosen;
  return kestrel::UserRegistryFilePath(env);
}

// The folder as an absolute path without "..", links or a trailing "/", as
// the lookup hands it out.
std::string AbsoluteFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(folder, ec), ec);
  if (ec) kestrel::RaiseErrno(ec.value(), true);
  std::string out = p.string();
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

struct SetupOptions {
  std::string install_dir;
  std::string registry;
};

void DeclareSetupOptions(CLI::App& sub, SetupOptions& o) {
  sub.add_option("--install-dir", o.install_dir, "installation folder to create and record")->required();
  AddRegistryOption(sub, o.registry,
                    "registry file to write (default: $KESTREL_REGISTRY, else ~/.config/kestrel/registry.ini)");
}

int RunSetup(const SetupOptions& o) {
  kestrel::Env& env = CommandEnv();
  const std::string file = TargetRegistryFile(env, o.registry);
  if (file.empty()) return Fail(76, "Path not found: no home folder for the registry file; use --registry FILE");
  const std::string folder = AbsoluteFolder(o.install_dir);
  for (const char* sub_folder : {"LumoStudio/tmp", "LumoStudio/bin"})
    kestrel::files::CreateFolders(env, kestrel::files::Join(folder, sub_folder));
  kestrel::RegistryFile(env, file).SetKeyValue(kestrel::HKEY_LOCAL_MACHINE_VALUE,
                                                  std::string(kestrel::importer::kInstallationKey),
                                                  std::string(kestrel::importer::kInstallationValueName), folder);
  std::cout << "recorded installation folder " << folder << " in " << file << '\n';
  return 0;
}

const Registration kSetup{"setup", "create an installation folder and record it in the registry file",
                          DeclareSetupOptions, RunSetup};

}  // namespace
}  // namespace kestrel::cli
