// The ComError a call raises, and its number for tests that only care which
// failure it was (0 when the call returns normally).
#pragma once

#include <functional>

#include "component/error.h"

namespace kestrel::testing {

inline Kestrel20ImpExp::ComError CaughtFrom(const std::function<void()>& f) {
  try {
    f();
  } catch (const Kestrel20ImpExp::ComError& e) {
    return e;
  }
  return Kestrel20ImpExp::ComError(0, "nothing raised");
}

inline int ErrorOf(const std::function<void()>& f) { return CaughtFrom(f).number(); }

}  // namespace kestrel::testing
