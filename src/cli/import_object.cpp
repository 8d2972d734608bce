// Creation of clsImport for the commands, with the registry file and hint,
// and the failure of a refused selection.
#include "import_object.h"

#include <cstdlib>
#include <iostream>
#include <memory>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "command.h"
#include "output.h"
#include "kestrel/details.h"
#include "kestrel/error.h"
#include "kestrel/errors.h"
#include "kestrel/registry.h"
#include "kestrel/store.h"

namespace kestrel::cli {

int WithImportObject(const std::string& registry, const std::function<int(Kestrel20ImpExp::clsImport&)>& body) {
  std::unique_ptr<Kestrel20ImpExp::clsImport> object;
  bool lookup_failed = false;
  try {
    object = kestrel::present::CreateImportObject(CommandEnv(), registry, &lookup_failed);
  } catch (const kestrel::ComError& e) {
    int rc = Fail(e.number(), e.description());
    if (lookup_failed)
      std::cerr << "hint: no installation folder is recorded in "
                << (registry.empty() ? kestrel::RegistryFilePath(CommandEnv()) : registry)
                << "; run `kestrel setup --install-dir DIR` (with --registry FILE to choose the file)\n";
    return rc;
  }
  return body(*object);
}

void OpenPack(Kestrel20ImpExp::clsImport& import, const std::string& store, const std::string& pack, bool no_sums) {
  import.putref_DataConnection(OpenStore(store));
  Detail("reading pack " + pack);
  import.put_Path(pack);
  import.SetAllowPackWithoutSums(no_sums);
  // A pack taken without sums cannot be checked for changes: say so once.
  kestrel::Env& env = CommandEnv();
  if (no_sums && env.FolderExists(pack) && !env.FileExists(pack + "/" + std::string(Kestrel20ImpExp::kPackSumsFile)))
    Notice(std::string(Kestrel20ImpExp::kNoPackSumsNotice));
}

void OpenPackForLoading(Kestrel20ImpExp::clsImport& import, const std::string& store, const std::string& pack,
                        bool no_sums) {
  OpenPack(import, store, pack, no_sums);
  // The store is also the name the bulk loading is given, on this machine.
  import.put_DatabaseName(store);
  import.put_DatabaseServer("local");
}

std::optional<std::string> ProposedDetails(Kestrel20ImpExp::clsImport& import) {
  std::string details;
  if (import.ShowLogicPackDetails(details)) return details;
  Fail(import.get_ErrorNumber(), import.get_ErrorDescription());
  return std::nullopt;
}

int FailWithMessage(Kestrel20ImpExp::clsImport& import, const std::string& message) {
  const kestrel::ComError failure = kestrel::present::FailureOf(import, message);
  const std::string description = failure.description();
  int rc = Fail(failure.number(), description);
  if (!import.RefusedAt().empty())
    std::cerr << "The pack was refused and the store left as it was: " << kestrel::store::MaskedText(import.RefusedAt())
              << '\n';
  else if (!message.empty() && message != description)
    std::cerr << kestrel::store::MaskedText(message) << '\n';
  return rc;
}

int FailSelection(Kestrel20ImpExp::clsImport& import, const std::vector<std::string>& messages) {
  int32_t number = import.get_ErrorNumber();
  if (number == 0) number = kestrel::Number(kestrel::Ours::InvalidSelection);
  std::string joined;
  for (const auto& line : messages) joined += (joined.empty() ? "" : " ") + line;
  return Fail(number, joined);
}

}  // namespace kestrel::cli
