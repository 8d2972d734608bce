// What the command line and the web wizard share in driving clsImport for a
// pack: its creation on the installation's registry file, the verdict on a
// selection, the refusal of an unconfirmed replacement and the failure of a
// check or import. Goes when both import through the engine's own calls.
#pragma once

#include <memory>
#include <string>

#include "kestrel/cls_import.h"
#include "kestrel/env.h"
#include "kestrel/error.h"
#include "present/import_view.h"

namespace kestrel::present {

// Creates clsImport on the registry file `registry` (when empty, the one
// RegistryFilePath names); throws kestrel::ComError when the installation
// lookup fails or the recorded installation folder does not exist. Sets
// `lookup_failed` when it was the lookup.
std::unique_ptr<Kestrel20ImpExp::clsImport> CreateImportObject(kestrel::Env& env, const std::string& registry,
                                                               bool* lookup_failed = nullptr);

// The name of the user running the program: the account's login name, else
// what the environment says; recorded as the last to change imported rules.
std::string LoginName(kestrel::Env& env);

// VerifyUserSelections, then (when that passes) the check an import runs
// first, with this selection.
SelectionVerdict VerifySelection(Kestrel20ImpExp::clsImport& import, const std::string& details);

// The refusal of an import without consent to replace, when the checked
// details mark profiles or applications the store holds: the text of
// Ours::ReplaceNotConfirmed and what the store holds; "" when nothing would
// be replaced.
std::string UnconfirmedReplacement(const std::string& checked_details);

// The number and text of a failed check or import: the number of an
// "Unexpected Error." report in `message`, else the object's; the object's
// description, else the message, else a text that says the import gave none.
kestrel::ComError FailureOf(Kestrel20ImpExp::clsImport& import, const std::string& message);

}  // namespace kestrel::present
