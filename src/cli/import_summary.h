// What `kestrel import` prints on stdout after an import (or a dry run): the
// pack profiles imported and under which numbers, the profiles and
// applications replaced, per table the rows deleted and added, and the time
// taken; as lines for people or as one JSON object for host programs.
#pragma once

#include <ostream>
#include <string>

#include "selection_view.h"
#include "kestrel/import_summary.h"

namespace kestrel::cli {

void PrintImportSummary(std::ostream& out, const DetailsView& view, const kestrel::ImportSummary& s);
void PrintImportSummaryJson(std::ostream& out, const DetailsView& view,
                            const kestrel::ImportSummary& s);

}  // namespace kestrel::cli
