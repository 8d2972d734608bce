// Installation lookup of clsImport: the installation folder from the registry
// and the "IIS=" setting of LumoConfig.ini below it.
#pragma once

#include <string>
#include <string_view>

#include "importer/import_context.h"

namespace kestrel::importer {

// Where the installation folder is recorded.
inline constexpr std::string_view kInstallationKey = "SOFTWARE\\Corvane\\Tresk\\Tresk2.0";
inline constexpr std::string_view kInstallationValueName = "Path";
inline constexpr int32_t kInstallationNotFound = 505;
inline constexpr std::string_view kInstallationNotFoundText =
    "Could not retrieve installation directory of Lumo Studio. Cannot Proceed...";

// The installation folder, looked up in cx's registry component; 505 when
// the registry does not record it, the lookup's own failure with
// kInstallationNotFoundText added.
std::string InstallationFolder(const ImportContext& cx);

// The configuration file below the installation folder.
std::string LumoConfigPath(const ImportContext& cx);

// The text after the "IIS=" line of LumoConfig.ini (the last such line with a
// value wins), "6" when there is none or the file cannot be read. Never fails.
std::string ReadIISSetting(const ImportContext& cx);

}  // namespace kestrel::importer
