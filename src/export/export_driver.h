// ExportMigrationProfiles: validates the profile, creates the pack folder and
// writes the manifest around the single-profile or the chain export.
#pragma once

#include <string>

#include "component/env.h"
#include "component/export_state.h"

namespace Kestrel20ImpExp::detail {

bool ExportMigrationProfiles(ExportState& s);

// The export root used when Path is empty: $KESTREL_EXPORT_ROOT when set,
// else $HOME/ImpExpMR, as `env` has them.
std::string DefaultExportRoot(Env& env);
// Transitional: callers move to the Env& form.
std::string DefaultExportRoot();

}  // namespace Kestrel20ImpExp::detail
