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

namespace kestrel::cli {

// Creates clsImport on the registry file `registry` (when empty, the one
// RegistryFilePath names) and runs `body` with it. When creation fails: "error N: DESCRIPTION" and a hint
// naming the registry file on stderr, exit code 1.
int WithImportObject(const std::string& registry, const std::function<int(Kestrel20ImpExp::clsImport&)>& body);

// Creates clsImport on the registry file `registry` (when empty, the one
// RegistryFilePath names); throws kestrel::ComError when the installation
// lookup fails or the recorded installation folder does not exist. Sets
// `lookup_failed` when it was the lookup.
std::unique_ptr<Kestrel20ImpExp::clsImport> CreateImportObject(const std::string& registry,
                                                               bool* lookup_failed = nullptr);

// The name of the user running the program: the account's login name, else
// what the environment says; recorded as the last to change imported rules.
std::string LoginName();

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

// What a selection's verification found: VerifyUserSelections, then (when
// that passes) the check an import runs first, with this selection.
struct SelectionVerdict {
  bool passed = false;
  bool pack_refused = false;  // the selection passed and the pack's check did not
  std::string checked;        // the details VerifyUserSelections handed back, marked
  std::vector<std::string> messages;
};
SelectionVerdict VerifySelection(Kestrel20ImpExp::clsImport& import, const std::string& details);

// The refusal of an import without consent to replace, when the checked
// details mark profiles or applications the store holds: the text of
// Ours::ReplaceNotConfirmed and what the store holds; "" when nothing would
// be replaced.
std::string UnconfirmedReplacement(const std::string& checked_details);

// "error N: MESSAGES" for a selection VerifyUserSelections refused, its
// messages joined by spaces; N is the object's error number, else the number
// of an invalid selection. Returns exit code 1.
int FailSelection(Kestrel20ImpExp::clsImport& import, const std::vector<std::string>& messages);

// The number and text of a failed check or import: the number of an
// "Unexpected Error." report in `message`, else the object's; the object's
// description, else the message, else a text that says the import gave none.
kestrel::ComError FailureOf(Kestrel20ImpExp::clsImport& import, const std::string& message);

// "error N: DESCRIPTION" for a failed check or import, N the number of an
// "Unexpected Error." report in `message`, else the object's; then where the
// check refused the pack, or the message when it says something else.
// Returns exit code 1.
int FailWithMessage(Kestrel20ImpExp::clsImport& import, const std::string& message);

}  // namespace kestrel::cli
