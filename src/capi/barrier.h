// What every function of include/kestrel.h shares: the one place an
// exception stops and becomes a status and the thread's last error, and the
// checks of what a host passes in (bytes without a NUL, pointers it must
// give, numbers within their field's range).
#pragma once

#include <cstdint>
#include <exception>
#include <limits>
#include <string>
#include <string_view>

#include "base/error.h"
#include "kestrel.h"
#include "kestrel/error.h"

namespace kestrel::capi {

inline kestrel_text View(const std::string& s) { return kestrel_text{s.c_str(), s.size()}; }

// The bytes a host passes in. None of them may hold a NUL: the library hands
// paths, store locations and users on as C strings, where a NUL would cut
// them short ("a.db\0/etc/passwd" would open a.db), so it is refused (9070),
// naming the argument (`what`).
std::string Bytes(const char* bytes, size_t length, std::string_view what);
inline std::string Bytes(const kestrel_text& text, std::string_view what) {
  return Bytes(text.bytes, text.length, what);
}

// A pointer the caller must give (5 when it is NULL).
template <typename T>
T& Required(T* p) {
  if (p == nullptr) RaiseRuntime(rt::InvalidProcedureCall);
  return *p;
}
inline const char* Name(const char* name) { return &Required(name); }

// The values a number of the interface takes, as the command line takes
// them: beyond `Int` it fails with 6 as the run time would, within it but
// outside the range with 5; either names the number and its range.
struct Range {
  std::string_view name;
  int64_t lowest;
  int64_t highest;
};
[[noreturn]] void RaiseOutOfRange(int64_t n, const Range& r, bool fits_type);
template <typename Int>
Int InRange(int64_t n, const Range& r) {
  if (n >= r.lowest && n <= r.highest) return static_cast<Int>(n);
  RaiseOutOfRange(n, r, n >= std::numeric_limits<Int>::min() && n <= std::numeric_limits<Int>::max());
}

// Records a failure as the thread's last error; returns its number (never 0,
// which would read as success).
int Fail(const Error& e);

// The last failure on this thread.
const Error& LastError();

// The one place an exception stops.
template <typename Body>
int Guarded(Body body) noexcept {
  try {
    body();
    return 0;
  } catch (const Error& e) {
    return Fail(e);
  } catch (const std::exception& e) {
    return Fail(AsComError(e));
  } catch (...) {
    return Fail(Error(0, ""));
  }
}

}  // namespace kestrel::capi
