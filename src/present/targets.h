// Target entries as a person gives them (the command line's --target, a row
// of the web wizard's table): six fields, "NUMBER|SOURCE APP|TARGET APP|
// PARENT|SOURCE EXTN|TARGET EXTN", read once into a kestrel::Target. The
// numbers must be whole numbers; whether they fit a profile and the store is
// the engine's to say.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kestrel/engine.h"

namespace kestrel::present {

// The target the fields name; nullopt, with `problem` naming the entry and
// what is wrong with it, when they name none: not six fields, a marker "*"
// (markers are output, never input), character 1 or a carriage return, a
// number field that is not a whole number, an extn that is neither empty
// (the pack's) nor a whole number.
std::optional<Target> TargetOfFields(const std::vector<std::string>& fields, std::string& problem);

// The same for an entry of fields joined by "|".
std::optional<Target> TargetOfEntry(const std::string& entry, std::string& problem);

}  // namespace kestrel::present
