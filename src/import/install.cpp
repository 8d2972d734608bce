// GetLumoInstallationPath and ReadIISSetting.
#include "import/install.h"

#include <memory>

#include "component/text.h"
#include "import/entry_points.h"

namespace Kestrel20ImpExp::detail {

bool GetLumoInstallationPath(ImportState& s, std::string& strPath) {
  try {
    // The registry component is created with the object; without one the
    // lookup fails as a creation failure would.
    std::shared_ptr<Registry> registry = s.RegistryComponent;
    if (!registry) RaiseRuntime(rt::CannotCreateObject);
    if (registry->GetKeyValue(HKEY_LOCAL_MACHINE_VALUE, std::string(kInstallationKey),
                              std::string(kInstallationValueName), strPath))
      return true;
    s.Error.Set(kInstallationNotFound, std::string(kInstallationNotFoundText));
    return false;
  } catch (const std::exception& ex) {
    ComError e = AsComError(ex);
    s.Error.Set(e.number(), e.description() + ". " + std::string(kInstallationNotFoundText));
    return false;
  }
}

std::string LumoConfigPath(const ImportState& s) {
  return files::Join(files::Join(s.InstallationPath, "LumoStudio/bin"), "LumoConfig.ini");
}

std::string ReadIISSetting(const ImportState& s) {
  std::string result = "6";
  try {
    // A file people edit: LF alone ends a line as well as CR LF.
    auto in = files::TextReader::Open(LumoConfigPath(s), true);
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

}  // namespace Kestrel20ImpExp::detail
