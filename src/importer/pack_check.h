// The parts of the check before an import that run before the import is
// planned: the pack's header file read on its own. The whole check is
// CheckLogicPackFiles (import/transaction.h).
// Internal to the import and its tests.
#pragma once

#include <string>

#include "base/error.h"
#include "kestrel/env.h"
#include "importer/import_options.h"

namespace kestrel::importer {

// Reads "Qzmap100.dat" of the pack folder `o.Path`, its lines split at
// o.FieldSeparator. Refuses a header file without any line (9043: the pack
// names no profile), a byte-order mark before it (9008) and, on a line of 18
// fields, a profile number outside 16 bits (6), an application code
// CheckImportedApplicationCode refuses (9006) or that differs from another
// of the pack only by case (9047), or a NUL byte anywhere on the line (9040).
// Then reads "Qzmap101.dat" and refuses a row without its 6 fields (100, the
// chain file's text). On a refusal sets the error state, puts the file and
// line into `place` and gives false. A pack without the file passes: the
// steps that read it report it missing.
bool CheckHeaderFile(Env& env, const ImportOptions& o, ErrorState& error, std::string& place);

}  // namespace kestrel::importer
