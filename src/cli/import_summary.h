// What `kestrel import` prints on stdout after an import (or a dry run): the
// pack profiles imported and under which numbers, the profiles and
// applications replaced, per table the rows deleted and added, and the time
// taken (the JSON is present/import_view.h's).
#pragma once

#include <ostream>

#include "kestrel/engine.h"

namespace kestrel::cli {

void PrintImportSummary(std::ostream& out, const kestrel::ImportReport& report);

}  // namespace kestrel::cli
