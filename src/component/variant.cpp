// Conversions of the property variant.
#include "kestrel/variant.h"

#include "base/error.h"
#include "base/value.h"

namespace Kestrel20ImpExp {

std::string Variant::ToString() const {
  if (IsEmpty()) return "";
  if (auto* b = std::get_if<bool>(&v_)) return *b ? "True" : "False";
  if (auto* i = std::get_if<int64_t>(&v_)) return std::to_string(*i);
  if (auto* d = std::get_if<double>(&v_)) return kestrel::FormatDouble(*d);
  return std::get<std::string>(v_);
}

bool Variant::ToBool() const {
  if (IsEmpty()) return false;
  if (auto* b = std::get_if<bool>(&v_)) return *b;
  if (auto* i = std::get_if<int64_t>(&v_)) return *i != 0;
  if (auto* d = std::get_if<double>(&v_)) return *d != 0.0;
  std::string s = std::get<std::string>(v_);
  size_t b = s.find_first_not_of(' ');
  size_t e = s.find_last_not_of(' ');
  if (b == std::string::npos) kestrel::RaiseRuntime(kestrel::rt::TypeMismatch);
  s = s.substr(b, e - b + 1);
  std::string lower;
  for (char c : s) lower += static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
  if (lower == "true") return true;
  if (lower == "false") return false;
  double d = 0;
  switch (kestrel::ParseNumber(s, d)) {
    case kestrel::NumberText::Ok: return d != 0.0;
    case kestrel::NumberText::OutOfRange: return true;  // a number, and not zero
    case kestrel::NumberText::NotNumeric: break;
  }
  kestrel::RaiseRuntime(kestrel::rt::TypeMismatch);
}

}  // namespace Kestrel20ImpExp
