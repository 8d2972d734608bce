// What every command that creates clsImport shares: the "--registry FILE"
// option, naming the registry file the component reads, and creation of the
// object with a hint to run `kestrel setup` when the installation lookup fails.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

#include "component/cls_import.h"

namespace kestrel::cli {

// Adds "--registry FILE" to the command; the value lands in `registry`.
void AddRegistryOption(CLI::App& sub, std::string& registry);

// Creates clsImport on the registry file `registry` (when empty, the one
// RegistryFilePath names) and runs `body` with it. When creation fails: "error N: DESCRIPTION" and a hint
// naming the registry file on stderr, exit code 1.
int WithImportObject(const std::string& registry, const std::function<int(Kestrel20ImpExp::clsImport&)>& body);

}  // namespace kestrel::cli
