// What the engine's Verify does not hand back, while it gives its findings
// alone: the targets of a selection as its verification marks them (what the
// store holds, the parents it lacks), and the one failure a refused
// selection is. This goes when Verify returns both, as Import has them.
#pragma once

#include <string>
#include <vector>

#include "kestrel/engine.h"

namespace kestrel::present {

// `targets` for the pack's `sources`, marked as the import into `store` the
// request describes would mark them; unmarked when the verification stops
// before it marks them.
std::vector<Target> MarkedTargets(Env& env, Store& store, const ImportRequest& request,
                                  const std::vector<PackProfile>& sources, const std::vector<Target>& targets);

// The failure of a selection Verify found faults in, as an import refuses
// it: the number the verification ended with, the findings' texts joined,
// the place of the first. Asked of a dry run, which refuses the selection
// before it starts.
Error SelectionFailure(Store& store, const ImportRequest& request, const std::vector<Error>& findings,
                       const Context& context);

}  // namespace kestrel::present
