// Conversions of a column value to text and integer.
#include "component/value.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "component/error.h"

namespace Kestrel20ImpExp {

std::string FormatDouble(double d) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d);
  std::string s(buf, res.ptr);
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

std::string Value::Text() const {
  if (IsNull()) RaiseRuntime(rt::InvalidUseOfNull);
  if (auto* s = std::get_if<std::string>(&v_)) return *s;
  if (auto* i = std::get_if<int64_t>(&v_)) return std::to_string(*i);
  return FormatDouble(std::get<double>(v_));
}

std::string Value::TextOrEmpty() const { return IsNull() ? std::string() : Text(); }

int64_t Value::Integer() const {
  if (IsNull()) RaiseRuntime(rt::InvalidUseOfNull);
  if (auto* i = std::get_if<int64_t>(&v_)) return *i;
  double d;
  if (auto* dd = std::get_if<double>(&v_)) {
    d = *dd;
  } else {
    const std::string& s = std::get<std::string>(v_);
    size_t b = s.find_first_not_of(' ');
    size_t e = s.find_last_not_of(' ');
    if (b == std::string::npos) RaiseRuntime(rt::TypeMismatch);
    std::string_view t(s.data() + b, e - b + 1);
    int64_t iv = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), iv);
    if (r.ec == std::errc() && r.ptr == t.data() + t.size()) return iv;
    if (r.ec == std::errc::result_out_of_range) RaiseRuntime(rt::Overflow);
    auto rd = std::from_chars(t.data(), t.data() + t.size(), d);
    if (rd.ec != std::errc() || rd.ptr != t.data() + t.size()) RaiseRuntime(rt::TypeMismatch);
  }
  if (!std::isfinite(d) || std::fabs(d) > 9.2e18) RaiseRuntime(rt::Overflow);
  return static_cast<int64_t>(std::nearbyint(d));
}

}  // namespace Kestrel20ImpExp
