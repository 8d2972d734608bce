// ExportMigrationProfiles: validates the profile, creates the pack folder and
// writes the manifest around the single-profile or the chain export.
#pragma once

#include "component/export_state.h"

namespace Kestrel20ImpExp::detail {

bool ExportMigrationProfiles(ExportState& s);

}  // namespace Kestrel20ImpExp::detail
