// How `show` and `verify` present a logic pack details string as a readable
// table: one profile per row, markers visible and explained (the JSON is
// present/import_view.h's).
#pragma once

#include <string>
#include <vector>

#include "import_object.h"
#include "output.h"
#include "kestrel/details.h"
#include "present/import_view.h"

namespace kestrel::cli {

using kestrel::DetailsView;
using kestrel::EntryFields;
using kestrel::present::DetailsJson;
using kestrel::present::VerdictJson;

void PrintDetailsTable(std::ostream& out, const DetailsView& view);

}  // namespace kestrel::cli
