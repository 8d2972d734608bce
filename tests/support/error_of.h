// The number of the ComError a call raises, for tests that only care which
// failure it was: 0 when the call returns normally.
#pragma once

#include <functional>

#include "component/error.h"

namespace kestrel::testing {

inline int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Kestrel20ImpExp::ComError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace kestrel::testing
