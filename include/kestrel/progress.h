// What a long operation reports while it runs: the step it is at ("Exporting
// qzmap120", "Loading qzddi150ACCX2.dat"), how many rows or objects of it
// are done and how many the step has in all, where that is known before the
// step ends (0 where it is not). Called on the operation's own thread; it
// must not throw.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "kestrel/export.h"

namespace kestrel {

using ProgressFn = std::function<void(const std::string& what, int64_t done, int64_t total)>;

// A report as one line for a person, the step having run `seconds`:
// "qzmap120: 1200 of 5000 (24 %), 3000/s". The share is rounded down, so
// that 100 % means the step is done; without a total (0) the line holds the
// count alone; the rate shows once the step has run half a second.
KESTREL_API std::string ProgressText(std::string_view what, int64_t done, int64_t total, double seconds);

}  // namespace kestrel
