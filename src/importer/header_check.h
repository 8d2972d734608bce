// The check of a logic pack's header and chain files, and of the application
// numbers the details read beside them, before anything else of the pack is
// used: the details, the check and the import all run it first.
// Internal to the import and its tests.
#pragma once

#include <optional>

#include <string>

#include "base/error.h"
#include "importer/import_options.h"
#include "kestrel/env.h"

namespace kestrel::importer {

// Reads "Qzmap100.dat" of the pack folder `o.Path`, its lines split at
// o.FieldSeparator. Refuses a header file without any line (9043: the pack
// names no profile), a byte-order mark before it (9008) and, on a line of 18
// fields, a profile number that is not a whole number (9008) or is outside 16
// bits (6), an application code CheckImportedApplicationCode refuses (9006) or
// that differs from another of the pack only by case (9047), or a NUL byte
// anywhere on the line (9040). Then reads "Qzmap101.dat" and refuses a row
// without its 6 fields (100, the chain file's text) or whose profile, level or
// parent is not a whole number (9008). Last, the first line of every header
// application's "qzddi100" data file: its last field, the application's extn,
// must be a whole number or empty (9008). Gives the refusal, with the file and
// line as its place, or nothing when the files pass. A pack without one of
// the files passes: the steps that read it report it missing.
std::optional<Error> CheckHeaderFile(Env& env, const ImportOptions& o);

}  // namespace kestrel::importer
