// The import driver's private procedures: reading the manifest's options into
// the object, building and logging the import plan, and the check of a pack
// on its own. Internal to the import and its tests.
#pragma once

#include <string>
#include <vector>

#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "importer/selection.h"

namespace kestrel::importer {

// Reads the options of the ExportMR.log of the pack at o.Path into `manifest`;
// an option line of another text leaves the value `manifest` has. False when
// it cannot be read to its sync line.
bool ReadLogicPackManifest(const ImportOptions& o, const ImportContext& cx, pack::ManifestOptions& manifest);

// Puts the plan of the source and target entries (same length) into r.Plan,
// logged; with revision information in r.Manifest, each entry's development
// VRC is read from the pack (one that cannot be read is shown empty and its
// failure left in r.Error: the import goes on).
void BuildImportPlan(const ImportOptions& o, const ImportContext& cx, const SelectionLists& lists, ImportResults& r);

// The check an import runs before its first delete, on its own: the details
// are split, repeated targets refused, the manifest read and the plan built
// as ImportLogicPack does; then every file the import would load is read and
// converted without writing. Nothing is written to the store. False with
// r.Error and `message` set (it names the file and line of a refused
// pack; the component words it for its caller).
bool CheckLogicPack(const ImportOptions& o, const ImportContext& cx, ImportResults& r, const SelectionLists& lists,
                    Error& message);
bool CheckLogicPack(const ImportOptions& o, const ImportContext& cx, ImportResults& r, std::string& strLPDetails,
                    Error& message);

}  // namespace kestrel::importer
