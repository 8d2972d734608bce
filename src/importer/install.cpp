// GetLumoInstallationPath and ReadIISSetting.
#include "importer/install.h"

#include <memory>

#include "base/text.h"
#include "importer/entry_points.h"

namespace kestrel::importer {

bool GetLumoInstallationPath(const ImportContext& cx, ErrorState& error, std::string& strPath) {
  try {
    // The registry component is created with the object; without one the
    // lookup fails as a creation failure would.
    std::shared_ptr<Registry> registry = cx.RegistryComponent;
    if (!registry) RaiseRuntime(rt::CannotCreateObject);
    if (registry->GetKeyValue(HKEY_LOCAL_MACHINE_VALUE, std::string(kInstallationKey),
                              std::string(kInstallationValueName), strPath))
      return true;
    error.Set(kInstallationNotFound, std::string(kInstallationNotFoundText));
    return false;
  } catch (const std::exception& ex) {
    ComError e = AsComError(ex);
    error.Set(e.number(), e.description() + ". " + std::string(kInstallationNotFoundText));
    return false;
  }
}

std::string LumoConfigPath(const ImportContext& cx) {
  return files::Join(files::Join(cx.InstallationPath, "LumoStudio/bin"), "LumoConfig.ini");
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
