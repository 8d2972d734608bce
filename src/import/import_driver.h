// The import driver's private procedures: reading the manifest's options into
// the object, building and logging the import plan, and the check of a pack
// on its own. Internal to the import and its tests.
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

// The check an import runs before its first delete, on its own: the details
// are split, repeated targets refused, the manifest read and the plan built
// as ImportLogicPack does; then every file the import would load is read and
// converted without writing. Nothing is written to the store. False with the
// error state and `strErrorMessage` set (it names the file and line of a
// refused pack).
bool CheckLogicPack(ImportState& s, std::string& strLPDetails, std::string& strErrorMessage);

}  // namespace Kestrel20ImpExp::detail
