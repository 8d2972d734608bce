// The rule, library and function loaders of clsImport: each loads its files
// through the reading and converting of loaded_records.h, row by row, into
// the store. Internal to the import and its tests; LoadToMAP150 is public
// (entry_points.h).
#pragma once

#include <string>
#include <vector>

#include "base/error.h"
#include "importer/import_context.h"
#include "importer/planned_pack.h"

namespace kestrel::importer {

// The two rule loaders: every file loaded, or a Failure trapped under 899 by
// the loader's own name. Rows saved before a failure stay in the store.
void LoadToMAP120_130_140_160(const PlannedPack& planned, const std::vector<std::string>& header_map,
                              const ImportContext& cx);
void LoadToMAP110_125_135_145_165(const PlannedPack& planned, const std::vector<std::string>& header_map,
                                  const ImportContext& cx);

// Loads Qzlib100.dat, and Qzlib105.dat when the manifest announces revision
// information, updating a function stored under the same key and adding the
// others. Not trapped: a failure raises to the caller, rows saved before it stay.
void LoadLibraryFiles(const PlannedPack& planned, const std::vector<std::string>& header_map,
                      const ImportContext& cx);

}  // namespace kestrel::importer
