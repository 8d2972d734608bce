// How `show` and `verify` present a logic pack details string: a readable
// table (one profile per row, markers visible and explained), JSON for host
// programs (the markers as fields of their own), and the target entries a
// user may give on the command line.
#pragma once

#include <string>
#include <vector>

#include "import_object.h"
#include "output.h"
#include "kestrel/details.h"

namespace kestrel::cli {

using kestrel::DetailsView;
using kestrel::EntryFields;

void PrintDetailsTable(std::ostream& out, const DetailsView& view);

// {"details": the string, "source": [entries], "target": [entries]}. An
// entry's numbers are numbers; a target entry's marked fields carry the value
// without "*" and are named in its "marked" object (profile,
// source_application, target_application, parent: true or false).
Json DetailsJson(const std::string& details, const DetailsView& view);

// DetailsJson of the checked details, with "passed" and "messages" (one a
// line): what `verify --json` prints.
Json VerdictJson(const SelectionVerdict& v);

}  // namespace kestrel::cli
