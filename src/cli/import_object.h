// What every command that creates clsImport shares: the registry file of
// "--registry FILE" handed to the component, creation
// of the object with a hint to run `kestrel setup` when the installation
// lookup fails, the store and pack handed to it, and the failure of a
// selection or a check that does not pass.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kestrel/cls_import.h"
#include "kestrel/error.h"
#include "present/import_object.h"

namespace kestrel::cli {

using kestrel::present::SelectionVerdict;
using kestrel::present::UnconfirmedReplacement;
using kestrel::present::VerifySelection;

// Creates clsImport on the registry file `registry` (when empty, the one
// RegistryFilePath names) and runs `body` with it. When creation fails: "error N: DESCRIPTION" and a hint
// naming the registry file on stderr, exit code 1.
int WithImportObject(const std::string& registry, const std::function<int(Kestrel20ImpExp::clsImport&)>& body);

// Hands the object the store and the pack folder a pack command works on,
// and whether it takes a pack without ExportMR.sums (--no-sums), which is
// then said once on stderr.
void OpenPack(Kestrel20ImpExp::clsImport& import, const std::string& store, const std::string& pack, bool no_sums);

// OpenPack, and the store named as the database of the bulk loading that
// the import and its check (on the batch path) use.
void OpenPackForLoading(Kestrel20ImpExp::clsImport& import, const std::string& store, const std::string& pack,
                        bool no_sums);

// The details ShowLogicPackDetails proposes for the pack; when it fails,
// "error N: DESCRIPTION" on stderr and nullopt (the command exits with 1).
std::optional<std::string> ProposedDetails(Kestrel20ImpExp::clsImport& import);

// "error N: MESSAGES" for a selection VerifyUserSelections refused, its
// messages joined by spaces; N is the object's error number, else the number
// of an invalid selection. Returns exit code 1.
int FailSelection(Kestrel20ImpExp::clsImport& import, const std::vector<std::string>& messages);

// "error N: DESCRIPTION" for a failed check or import, N the number of an
// "Unexpected Error." report in `message`, else the object's; then where the
// check refused the pack, or the message when it says something else.
// Returns exit code 1.
int FailWithMessage(Kestrel20ImpExp::clsImport& import, const std::string& message);

}  // namespace kestrel::cli
