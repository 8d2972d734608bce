// The import driver's private procedures: reading the manifest's options into
// the object, building and logging the import plan, and the development VRC
// of a pack profile. Internal to the import and its tests.
#pragma once

#include <string>
#include <vector>

#include "component/import_state.h"

namespace Kestrel20ImpExp::detail {

// Loads ManifestApplications, ManifestRevisions, ManifestNewProfile,
// ManifestNewProfileNumber and ManifestForSync from the pack's ExportMR.log;
// false when it cannot be read to its sync line.
bool ReadLogicPackManifest(ImportState& s);

// Fills s.Plan from the source and target entries (same length) and logs it.
void BuildImportPlan(ImportState& s, const std::vector<std::string>& sources,
                     const std::vector<std::string>& targets);

}  // namespace Kestrel20ImpExp::detail
