// A nullable column value as the store hands it out and the pack layers take
// it in: NULL, an integer, a double or bytes (text and binary alike).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kestrel {

class Value {
 public:
  Value() = default;                                   // NULL
  Value(int64_t v) : v_(v) {}                          // NOLINT(google-explicit-constructor)
  Value(int v) : v_(static_cast<int64_t>(v)) {}        // NOLINT
  Value(double v) : v_(v) {}                           // NOLINT
  Value(std::string v) : v_(std::move(v)) {}           // NOLINT
  Value(const char* v) : v_(std::string(v)) {}         // NOLINT
  Value(std::optional<std::string> v) {                // NOLINT
    if (v) v_ = std::move(*v);
  }

  bool IsNull() const { return std::holds_alternative<std::monostate>(v_); }
  bool IsInteger() const { return std::holds_alternative<int64_t>(v_); }
  bool IsDouble() const { return std::holds_alternative<double>(v_); }
  bool IsText() const { return std::holds_alternative<std::string>(v_); }

  // The platform's conversion of a value to text: integers in decimal, doubles
  // in the shortest form that reads back equal (no ".0" for whole numbers),
  // texts unchanged. NULL raises 94 "Invalid use of Null".
  std::string Text() const;
  // As Text, but NULL gives "".
  std::string TextOrEmpty() const;
  // Integer value: integers as they are, doubles and numeric texts converted
  // (13 "Type mismatch" when not numeric, 94 for NULL, 6 "Overflow" out of range).
  int64_t Integer() const;

  // Makes the value an empty text and hands it out to be filled. A text it
  // holds keeps its storage, so a value refilled row after row allocates once.
  std::string& TextToFill() {
    if (auto* s = std::get_if<std::string>(&v_)) {
      s->clear();
      return *s;
    }
    return v_.emplace<std::string>();
  }

  const std::string* AsText() const { return std::get_if<std::string>(&v_); }
  const int64_t* AsInteger() const { return std::get_if<int64_t>(&v_); }
  const double* AsDouble() const { return std::get_if<double>(&v_); }
  bool operator==(const Value& o) const = default;

 private:
  std::variant<std::monostate, int64_t, double, std::string> v_;
};

// A text as Value::Integer converts it: blanks around it ignored, decimals
// rounded half to even; 13 when it is no number, 6 "Overflow" out of range.
int64_t IntegerOfText(std::string_view text);

// Shortest decimal text of a double that reads back equal, "3" for 3.0.
std::string FormatDouble(double d);

// Reads a numeric text as the run time converts one: blanks around it are
// ignored, a leading "+" or "-" is allowed, decimals and exponents too.
// "inf", "nan", hexadecimal and empty texts are no numbers.
enum class NumberText { Ok, NotNumeric, OutOfRange };
NumberText ParseNumber(std::string_view text, double& out);

}  // namespace kestrel
