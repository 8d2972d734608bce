// What a long operation reports while it runs: the step it is at ("Exporting
// qzmap120", "Loading qzddi150ACCX2.dat") and how many rows or objects of it
// are done. Called on the operation's own thread; it must not throw.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kestrel {

using ProgressFn = std::function<void(const std::string& what, int64_t done)>;

}  // namespace kestrel
