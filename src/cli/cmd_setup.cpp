// kestrel setup: prepares an installation folder and records it in the
// registry file, so that clsImport can be created.
#include <filesystem>
#include <iostream>

#include "cli/command.h"
#include "component/error.h"
#include "component/files.h"
#include "component/registry.h"
#include "import/install.h"

namespace kestrel::cli {
namespace {

namespace k = Kestrel20ImpExp;

// The registry file to write: --registry, else KESTREL_REGISTRY, else this user's.
std::string TargetRegistryFile(k::Env& env, const std::string& option) {
  if (!option.empty()) return option;
  if (std::string chosen = env.Variable("KESTREL_REGISTRY"); !chosen.empty()) return chosen;
  return k::UserRegistryFilePath(env);
}

// The folder as an absolute path without "..", links or a trailing "/", as
// the lookup hands it out.
std::string AbsoluteFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(folder, ec), ec);
  if (ec) k::RaiseErrno(ec.value(), true);
  std::string out = p.string();
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

Registration reg("setup", "create an installation folder and record it in the registry file", [](CLI::App& sub) {
  auto install_dir = std::make_shared<std::string>();
  auto registry = std::make_shared<std::string>();
  sub.add_option("--install-dir", *install_dir, "installation folder to create and record")->required();
  sub.add_option("--registry", *registry,
                 "registry file to write (default: $KESTREL_REGISTRY, else ~/.config/kestrel/registry.ini)");
  return [install_dir, registry]() -> int {
    k::Env& env = CommandEnv();
    const std::string file = TargetRegistryFile(env, *registry);
    if (file.empty()) return Fail(76, "Path not found: no home folder for the registry file; use --registry FILE");
    const std::string folder = AbsoluteFolder(*install_dir);
    for (const char* sub_folder : {"LumoStudio/tmp", "LumoStudio/bin"})
      k::files::CreateFolders(env, k::files::Join(folder, sub_folder));
    k::RegistryFile(env, file).SetKeyValue(k::HKEY_LOCAL_MACHINE_VALUE, std::string(k::detail::kInstallationKey),
                                           std::string(k::detail::kInstallationValueName), folder);
    std::cout << "recorded installation folder " << folder << " in " << file << '\n';
    return 0;
  };
});

}  // namespace
}  // namespace kestrel::cli
