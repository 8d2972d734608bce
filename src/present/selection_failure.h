// What the engine's Verify does not hand back, while it gives its findings
// alone: the one failure a refused selection is, as Import has it. This goes
// when Verify returns it.
#pragma once

#include <string>
#include <vector>

#include "kestrel/engine.h"

namespace kestrel::present {

// The failure of a selection Verify found faults in, as an import refuses
// it: the number the verification ended with, the findings' texts joined,
// the place of the first. Asked of a dry run, which refuses the selection
// before it starts.
Error SelectionFailure(Store& store, const ImportRequest& request, const std::vector<Error>& findings,
                       const Context& context);

}  // namespace kestrel::present
