// The two classes' properties and methods by name, as the C interface
// reaches them: a property takes and gives a number or a text, a method takes
// its arguments in order and writes its by-reference ones back. Names match
// without regard to case. Failures throw kestrel::ComError: 438 for a name the
// class lacks, 450 for a property used against its direction or a method
// given another number of arguments, 13 for a value of the other kind, 6 for
// a number out of its property's or argument's range. The caller uses an
// object from one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestrel/create_object.h"

namespace kestrel::capi {

// A property's value: a number (booleans 0 and 1) or a text.
using Value = std::variant<int64_t, std::string>;

// What a method's argument carries: one of the three, by its signature.
struct Argument {
  std::string text;
  int64_t number = 0;
  std::vector<std::string> items;
};

// How a method uses one of its arguments.
enum class ArgumentUse { Text, TextRef, NumberRef, ListRef };

void PutProperty(Kestrel20ImpExp::CreatedObject& object, std::string_view name, const Value& value);
Value GetProperty(const Kestrel20ImpExp::CreatedObject& object, std::string_view name);

// The uses of the method's arguments, in order (438 when there is no such method).
const std::vector<ArgumentUse>& MethodSignature(const Kestrel20ImpExp::CreatedObject& object, std::string_view name);
// Runs the method on `args` (as many as its signature has) and returns its result.
bool CallMethod(Kestrel20ImpExp::CreatedObject& object, std::string_view name, std::vector<Argument>& args);

}  // namespace kestrel::capi
