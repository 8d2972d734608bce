// clsImport for the commands, created on the registry file.
#include "import_object.h"

#include <memory>

#include <fmt/format.h>

#include "command.h"
#include "pack_request.h"
#include "kestrel/error.h"
#include "kestrel/registry.h"

namespace kestrel::cli {

int WithImportObject(const std::string& registry, const std::function<int(Kestrel20ImpExp::clsImport&)>& body) {
  kestrel::Env& env = CommandEnv();
  const std::string file = registry.empty() ? kestrel::RegistryFilePath(env) : registry;
  std::unique_ptr<Kestrel20ImpExp::clsImport> object;
  try {
    object = std::make_unique<Kestrel20ImpExp::clsImport>(env, std::make_shared<kestrel::RegistryFile>(env, file));
  } catch (const kestrel::Error& e) {
    kestrel::Place place;
    place.path = file;
    return Fail(kestrel::Error(e.number(), e.description(), place));
  }
  // The import's work folders and its log live in the recorded folder: one
  // that has gone would fail later with no path to show for it.
  if (std::string folder; object->GetLumoInstallationPath(folder) && !folder.empty() && !env.FolderExists(folder))
    return Fail(kestrel::rt::PathNotFound,
                fmt::format("{}: the installation folder {} (Path= in {}) does not exist",
                            kestrel::RuntimeErrorText(kestrel::rt::PathNotFound), folder, file));
  return body(*object);
}

void OpenPack(Kestrel20ImpExp::clsImport& import, const std::string& store, const std::string& pack, bool no_sums) {
  import.putref_DataConnection(OpenStore(store).Connection());
  import.put_Path(pack);
  import.SetAllowPackWithoutSums(no_sums);
  SayHowThePackIsRead(pack, no_sums);
}

}  // namespace kestrel::cli
