// The installation lookup (the folder the registry records) and ReadIISSetting.
#include "importer/install.h"

#include <filesystem>
#include <memory>

#include "base/error.h"
#include "base/files.h"
#include "base/text.h"

namespace kestrel::importer {

std::string InstallationFolder(const ImportContext& cx) {
  std::string folder;
  try {
    // The registry component is created with the object; without one the
    // lookup fails as a creation failure would.
    std::shared_ptr<Registry> registry = cx.RegistryComponent;
    if (!registry) RaiseRuntime(rt::CannotCreateObject);
    if (registry->GetKeyValue(HKEY_LOCAL_MACHINE_VALUE, std::string(kInstallationKey),
                              std::string(kInstallationValueName), folder))
      return folder;
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    throw Error(e.number(), e.description() + ". " + std::string(kInstallationNotFoundText));
  }
  throw Error(kInstallationNotFound, std::string(kInstallationNotFoundText));
}

std::string LumoConfigPath(const ImportContext& cx) {
  return files::Join(files::Join(cx.InstallationPath, std::string(kBinSubfolder)), "LumoConfig.ini");
}

std::string ReadIISSetting(const ImportContext& cx) {
  std::string result = "6";
  try {
    // A file people edit: LF alone ends a line as well as CR LF.
    auto in = files::TextReader::Open(cx.env(), LumoConfigPath(cx), true);
    std::string line;
    while (in->ReadLine(line)) {
      if (!text::ContainsNoCase(line, "IIS=")) continue;
      // From the 5th character on, whatever precedes "IIS=" on the line.
      std::string_view value = line.size() > 4 ? std::string_view(line).substr(4) : std::string_view();
      value = text::TrimBlanks(value);
      if (!value.empty()) result.assign(value);
    }
  } catch (const std::exception&) {
    // A missing or unreadable file keeps what was read so far.
  }
  return result;
}

}  // namespace kestrel::importer

namespace kestrel {

namespace {

std::string AbsoluteFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(folder, ec), ec);
  if (ec) RaiseErrno(ec.value(), true, folder);
  std::string out = p.string();
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

}  // namespace

std::string RecordInstallation(Env& env, const std::string& registry_file, const std::string& given) {
  // An empty path would become the working folder and record wherever the
  // command happened to run.
  if (given.empty())
    throw ComError(rt::PathNotFound,
                   std::string(RuntimeErrorText(rt::PathNotFound)) + ": the installation folder is an empty path");
  const std::string folder = AbsoluteFolder(given);
  for (std::string_view sub_folder : {importer::kTempSubfolder, importer::kBinSubfolder})
    files::CreateFolders(env, files::Join(folder, std::string(sub_folder)));
  RegistryFile(env, registry_file)
      .SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, std::string(importer::kInstallationKey),
                   std::string(importer::kInstallationValueName), folder);
  return folder;
}

}  // namespace kestrel
