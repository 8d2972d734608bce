// Creation of clsImport for the commands, with the registry option and hint.
#include "cli/import_object.h"

#include <cstdlib>
#include <iostream>
#include <memory>

#include "cli/command.h"
#include "component/error.h"
#include "component/registry.h"

namespace kestrel::cli {

void AddRegistryOption(CLI::App& sub, std::string& registry) {
  sub.add_option("--registry", registry,
                 "registry file that names the installation folder (default: $KESTREL_REGISTRY, else "
                 "~/.config/kestrel/registry.ini when present, else /etc/kestrel/registry.ini)");
}

int WithImportObject(const std::string& registry, const std::function<int(Kestrel20ImpExp::clsImport&)>& body) {
  if (!registry.empty()) ::setenv("KESTREL_REGISTRY", registry.c_str(), 1);
  std::unique_ptr<Kestrel20ImpExp::clsImport> object;
  try {
    object = std::make_unique<Kestrel20ImpExp::clsImport>();
  } catch (const Kestrel20ImpExp::ComError& e) {
    int rc = Fail(e.number(), e.description());
    std::cerr << "hint: no installation folder is recorded in " << Kestrel20ImpExp::RegistryFilePath()
              << "; run `kestrel setup --install-dir DIR` (with --registry FILE to choose the file)\n";
    return rc;
  }
  return body(*object);
}

}  // namespace kestrel::cli
