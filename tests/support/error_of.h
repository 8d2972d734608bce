// The ComError a call raises, and its number for tests that only care which
// failure it was (0 when the call returns normally).
#pragma once

#include <functional>

#include "base/error.h"

namespace kestrel::testing {

inline kestrel::ComError CaughtFrom(const std::function<void()>& f) {
  try {
    f();
  } catch (const kestrel::ComError& e) {
    return e;
  }
  return kestrel::ComError(0, "nothing raised");
}

inline int ErrorOf(const std::function<void()>& f) { return CaughtFrom(f).number(); }

}  // namespace kestrel::testing
