// The profile list that the export drivers hand to the table writers: profile
// numbers joined by single blanks ("40 31 12"). The writers read it back into
// numbers, so that statements render numbers from integers and never paste
// the text.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrel::exporter {

// The numbers of a profile list, in its order. Anything but decimal numbers
// separated by single blanks (an empty list, a doubled blank, a letter) raises
// 13 "Type mismatch", as the statement built from such a list could not run.
std::vector<int64_t> ProfileNumbers(std::string_view list);

// One profile number given as decimal text ("12"); 13 otherwise.
int64_t ProfileNumber(std::string_view text);

}  // namespace kestrel::exporter
