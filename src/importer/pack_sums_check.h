// The first step of every reading of a pack for an import (its details, its
// check, the import itself): the pack's files against its ExportMR.sums, so
// that a pack cut short or changed after its export is refused before any of
// its content is used. Internal to the import and its tests.
#pragma once

#include <string>

#include "base/error.h"
#include "importer/import_context.h"

namespace kestrel::importer {

// Checks the pack folder `folder` against its ExportMR.sums. A pack without
// one passes, with Kestrel20ImpExp::kNoPackSumsNotice logged. A difference (Ours::PackSumsMismatch),
// a listed entry that is not a regular file (Ours::NotARegularFile) or a sums
// file outside its format sets the error state, is logged and gives false.
bool CheckPackSums(const ImportContext& cx, const std::string& folder, ErrorState& error);

}  // namespace kestrel::importer
