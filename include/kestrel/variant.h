// The small variant that two export properties take (ExportForSync,
// ExportBasedOn): empty, boolean, integer, double or text, with the run
// time's conversions to text and to boolean.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "kestrel/export.h"

namespace Kestrel20ImpExp {

class KESTREL_API Variant {
 public:
  Variant() = default;                                  // Empty
  Variant(bool v) : v_(v) {}                            // NOLINT
  Variant(int v) : v_(static_cast<int64_t>(v)) {}       // NOLINT
  Variant(int64_t v) : v_(v) {}                         // NOLINT
  Variant(double v) : v_(v) {}                          // NOLINT
  Variant(std::string v) : v_(std::move(v)) {}          // NOLINT
  Variant(const char* v) : v_(std::string(v)) {}        // NOLINT

  bool IsEmpty() const { return std::holds_alternative<std::monostate>(v_); }
  bool IsText() const { return std::holds_alternative<std::string>(v_); }

  // Empty gives "", booleans "True"/"False", numbers their decimal text.
  std::string ToString() const;
  // Empty is false, a number is true when non-zero, a text "True"/"False"
  // (any case) or a numeric text converts; anything else raises 13.
  bool ToBool() const;

 private:
  std::variant<std::monostate, bool, int64_t, double, std::string> v_;
};

}  // namespace Kestrel20ImpExp
