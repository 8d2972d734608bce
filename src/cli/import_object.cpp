// Creation of clsImport for the commands, with the registry file and hint,
// and the failure of a refused selection.
#include "cli/import_object.h"

#include <cstdlib>
#include <iostream>
#include <memory>

#include "cli/command.h"
#include "component/error.h"
#include "component/errors_ours.h"
#include "component/registry.h"

namespace kestrel::cli {

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

int FailSelection(Kestrel20ImpExp::clsImport& import, const std::vector<std::string>& messages) {
  int32_t number = import.get_ErrorNumber();
  if (number == 0) number = Kestrel20ImpExp::Number(Kestrel20ImpExp::Ours::InvalidSelection);
  std::string joined;
  for (const auto& line : messages) joined += (joined.empty() ? "" : " ") + line;
  return Fail(number, joined);
}

}  // namespace kestrel::cli
