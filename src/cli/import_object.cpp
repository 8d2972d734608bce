// Creation of clsImport for the commands, with the registry file and hint,
// and the failure of a refused selection.
#include "import_object.h"

#include <iostream>
#include <memory>

#include "command.h"
#include "kestrel/error.h"
#include "kestrel/errors.h"
#include "kestrel/registry.h"
#include "kestrel/store.h"

namespace kestrel::cli {

int WithImportObject(const std::string& registry, const std::function<int(Kestrel20ImpExp::clsImport&)>& body) {
  kestrel::Env& env = CommandEnv();
  const std::string file = registry.empty() ? kestrel::RegistryFilePath(env) : registry;
  std::unique_ptr<Kestrel20ImpExp::clsImport> object;
  try {
    auto registry_file = std::make_shared<kestrel::RegistryFile>(env, file);
    object = std::make_unique<Kestrel20ImpExp::clsImport>(env, std::move(registry_file));
  } catch (const kestrel::ComError& e) {
    int rc = Fail(e.number(), e.description());
    std::cerr << "hint: no installation folder is recorded in " << file
              << "; run `kestrel setup --install-dir DIR` (with --registry FILE to choose the file)\n";
    return rc;
  }
  return body(*object);
}

void OpenPack(Kestrel20ImpExp::clsImport& import, const std::string& store, const std::string& pack) {
  import.putref_DataConnection(kestrel::store::Open(store));
  import.put_Path(pack);
}

std::optional<std::string> ProposedDetails(Kestrel20ImpExp::clsImport& import) {
  std::string details;
  if (import.ShowLogicPackDetails(details)) return details;
  Fail(import.get_ErrorNumber(), import.get_ErrorDescription());
  return std::nullopt;
}

int FailSelection(Kestrel20ImpExp::clsImport& import, const std::vector<std::string>& messages) {
  int32_t number = import.get_ErrorNumber();
  if (number == 0) number = kestrel::Number(kestrel::Ours::InvalidSelection);
  std::string joined;
  for (const auto& line : messages) joined += (joined.empty() ? "" : " ") + line;
  return Fail(number, joined);
}

}  // namespace kestrel::cli
