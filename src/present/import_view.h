// How the import of a pack is shown: the pack's profiles with the targets an
// import would give them (what the store holds marked), the verdict on a
// selection, and the summary of an import. One shape for `show --json`,
// `verify --json`, `import --json` and the web wizard.
#pragma once

#include <string>
#include <vector>

#include "kestrel/details.h"
#include "kestrel/import_summary.h"
#include "present/json.h"

namespace kestrel::present {

using kestrel::DetailsView;
using kestrel::EntryFields;

// {"details": the string, "source": [entries], "target": [entries]}. An
// entry's numbers are numbers; a target entry's marked fields carry the value
// without "*" and are named in its "marked" object (profile,
// source_application, target_application, parent: true or false).
Json DetailsJson(const std::string& details, const DetailsView& view);

// What a selection's verification found: the checks of the selection, then
// (when they pass) the check an import runs first, with this selection.
struct SelectionVerdict {
  bool passed = false;
  bool pack_refused = false;  // the selection passed and the pack's check did not
  std::string checked;        // the details the verification handed back, marked
  std::vector<std::string> messages;
};

// DetailsJson of the checked details, with "passed" and "messages" (one a
// line): what `verify --json` prints.
Json VerdictJson(const SelectionVerdict& v);

// The pack profiles imported and under which numbers, the profiles and
// applications replaced, per table the rows deleted and added, and the time
// taken: what `import --json` prints.
Json ImportSummaryJson(const DetailsView& view, const kestrel::ImportSummary& s);

}  // namespace kestrel::present
