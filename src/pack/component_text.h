// The component's own wording of a failure, which its ErrorDescription, its
// run log and the manifest of a failed export all carry byte for byte: a
// failure a procedure's trap caught reads as the trap's head, the caught
// failure's number and its text ("Unspecified Error : --InsertInMap101-- 53
// File not found", with three blanks before the text).
#pragma once

#include <string>

#include "kestrel/error.h"

namespace kestrel::pack {

// The description of `e` as the component gives it: its text, or, trapped,
// the trap's words around the caught failure's own description.
std::string ComponentDescription(const Error& e);

}  // namespace kestrel::pack
