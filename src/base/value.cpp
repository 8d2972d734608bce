// Conversions of a column value to text and integer.
#include "base/value.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/error.h"

namespace kestrel {

std::string FormatDouble(double d) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d);
  std::string s(buf, res.ptr);
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

NumberText ParseNumber(std::string_view text, double& out) {
  size_t b = text.find_first_not_of(' ');
  size_t e = text.find_last_not_of(' ');
  if (b == std::string_view::npos) return NumberText::NotNumeric;
  std::string_view t = text.substr(b, e - b + 1);
  if (t.front() == '+') {
    t.remove_prefix(1);
    if (!t.empty() && t.front() == '-') return NumberText::NotNumeric;
  }
  // Only digits, a point, a sign and an exponent make a number.
  if (t.empty() || t.find_first_not_of("0123456789.-eE+") != std::string_view::npos) return NumberText::NotNumeric;
  auto r = std::from_chars(t.data(), t.data() + t.size(), out);
  if (r.ptr != t.data() + t.size()) return NumberText::NotNumeric;
  if (r.ec == std::errc::result_out_of_range || (r.ec == std::errc() && !std::isfinite(out)))
    return NumberText::OutOfRange;
  return r.ec == std::errc() ? NumberText::Ok : NumberText::NotNumeric;
}

std::string Value::Text() const {
  if (IsNull()) RaiseRuntime(rt::InvalidUseOfNull);
  if (auto* s = std::get_if<std::string>(&v_)) return *s;
  if (auto* i = std::get_if<int64_t>(&v_)) return std::to_string(*i);
  return FormatDouble(std::get<double>(v_));
}

std::string Value::TextOrEmpty() const { return IsNull() ? std::string() : Text(); }

namespace {

int64_t Rounded(double d) {
  if (!std::isfinite(d) || std::fabs(d) > 9.2e18) RaiseRuntime(rt::Overflow);
  return static_cast<int64_t>(std::nearbyint(d));
}

}  // namespace

int64_t IntegerOfText(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  size_t e = s.find_last_not_of(' ');
  if (b == std::string_view::npos) RaiseRuntime(rt::TypeMismatch);
  std::string_view t = s.substr(b, e - b + 1);
  if (t.front() == '+') t.remove_prefix(1);
  int64_t iv = 0;
  auto r = std::from_chars(t.data(), t.data() + t.size(), iv);
  if (r.ec == std::errc() && r.ptr == t.data() + t.size()) return iv;
  if (r.ec == std::errc::result_out_of_range && r.ptr == t.data() + t.size()) RaiseRuntime(rt::Overflow);
  double d;
  switch (ParseNumber(t, d)) {
    case NumberText::Ok: break;
    case NumberText::NotNumeric: RaiseRuntime(rt::TypeMismatch);
    case NumberText::OutOfRange: RaiseRuntime(rt::Overflow);
  }
  return Rounded(d);
}

int64_t Value::Integer() const {
  if (IsNull()) RaiseRuntime(rt::InvalidUseOfNull);
  if (auto* i = std::get_if<int64_t>(&v_)) return *i;
  if (auto* d = std::get_if<double>(&v_)) return Rounded(*d);
  return IntegerOfText(std::get<std::string>(v_));
}

}  // namespace kestrel
