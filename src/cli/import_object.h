// clsImport for the commands the engine has no call for (depth,
// load-functions) and for `serve`'s check of the installation: created on
// the registry file of "--registry FILE", and handed the store and the pack.
#pragma once

#include <functional>
#include <string>

#include "kestrel/cls_import.h"

namespace kestrel::cli {

// Creates clsImport on the registry file `registry` (when empty, the one
// RegistryFilePath names) and runs `body` with it. When creation fails:
// "error N: DESCRIPTION", the registry file and a hint on stderr, exit code 1.
int WithImportObject(const std::string& registry, const std::function<int(Kestrel20ImpExp::clsImport&)>& body);

// Hands the object the store and the pack folder a pack command works on,
// and whether it takes a pack without ExportMR.sums (--no-sums), which is
// then said once on stderr.
void OpenPack(Kestrel20ImpExp::clsImport& import, const std::string& store, const std::string& pack, bool no_sums);

}  // namespace kestrel::cli
