// The first step of every reading of a pack for an import (its details, its
// check, the import itself, the loading of its shared functions): the pack's
// files against its ExportMR.sums, so that a pack cut short or changed after
// its export is refused before any of its content is used. Internal to the
// import and its tests.
#pragma once

#include "base/error.h"
#include "importer/import_context.h"
#include "importer/import_options.h"

namespace kestrel::importer {

// Checks the pack folder o.Path against its ExportMR.sums. A pack without one
// is refused (Ours::PackWithoutSums) unless o.AllowPackWithoutSums, when it
// passes with PackWithoutSums logged. A difference
// (Ours::PackSumsMismatch), a listed entry that is not a regular file
// (Ours::NotARegularFile), a listed name outside the folder
// (Ours::SumsNameOutsidePack) or a sums file outside its format is logged
// and thrown as an Error, as is any other failure of the reading.
void CheckPackSums(const ImportOptions& o, const ImportContext& cx);

}  // namespace kestrel::importer
