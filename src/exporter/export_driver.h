// ExportMigrationProfiles: validates the profile, creates the pack folder and
// writes the manifest around the single-profile or the chain export.
#pragma once

#include <string>

#include "kestrel/env.h"
#include "exporter/export_context.h"
#include "exporter/export_options.h"
#include "exporter/export_results.h"

namespace kestrel::exporter {

// Exports the profile `o` names. `ctx` needs its connection; its PackFolder is
// where the run ends: the export root it used, then the pack folder once its
// name is known. The pack is written beside it and takes its name whole at
// the end (with OverWrite, in place of the pack there in one step); a failed
// export leaves an existing pack as it was, and a pack marked ERRORS only
// where there was none. True on success; on false the results' Error says why.
bool ExportMigrationProfiles(const ExportOptions& o, ExportContext& ctx, ExportResults& r);

// The export root used when Path is empty: $KESTREL_EXPORT_ROOT when set,
// else $HOME/ImpExpMR, as `env` has them.
std::string DefaultExportRoot(Env& env);

}  // namespace kestrel::exporter
