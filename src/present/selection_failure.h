// The one failure a refused selection is, as Import has it, for the faces
// that verified with Verify and hold its findings alone (Verdict gives both).
#pragma once

#include <string>
#include <vector>

#include "kestrel/engine.h"

namespace kestrel::present {

// The failure of a selection Verify found faults in, as an import refuses
// it: the number the verification ended with, the findings' texts joined,
// the place of the first, as Verdict has it; the findings joined (9012)
// when the selection passes by now.
Error SelectionFailure(Store& store, const ImportRequest& request, const std::vector<Error>& findings,
                       const Context& context);

}  // namespace kestrel::present
