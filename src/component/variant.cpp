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
  return kestrel::BooleanOfText(std::get<std::string>(v_));
}

}  // namespace Kestrel20ImpExp
