// How the import of a pack is shown: the pack's profiles with the targets an
// import gives them (what the store holds marked), the verdict on a
// selection, and the summary of an import. One shape for `show --json`,
// `verify --json`, `import --json` and the web wizard.
#pragma once

#include <string>
#include <vector>

#include "kestrel/engine.h"
#include "present/json.h"

namespace kestrel::present {

// The pack's profiles as the import reads them: in the order of the
// proposal (bases first), and a profile the pack names no parent for takes
// the parent the store gives its number.
std::vector<PackProfile> ImportSources(const PackInfo& pack, Store& store);

// {"details": the details string, "source": [entries], "target": [entries]}.
// An entry's numbers are numbers; a target's "marked" object names what the
// store holds (profile, source_application, target_application) and a
// parent it lacks or a root's (parent), each true or false.
Json DetailsJson(const std::vector<PackProfile>& sources, const std::vector<Target>& targets);

// DetailsJson of the targets as verified, with "passed" and "messages" (one
// a line): what `verify --json` prints.
Json VerdictJson(const std::vector<PackProfile>& sources, const std::vector<Target>& targets, bool passed,
                 const std::vector<std::string>& messages);


// What the import replaced (or would have, on a dry run) and what each pack
// profile became: what `import --json` prints.
Json ImportSummaryJson(const ImportReport& report);

}  // namespace kestrel::present
