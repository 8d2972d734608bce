// Small text helpers on 8-bit strings: trimming blanks, comparing ASCII
// letters without regard to case, splitting at a separator. Bytes outside
// ASCII are compared and kept as they are.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrel::text {

// Removes blanks (spaces only, never tabs or line ends) at both ends.
std::string_view TrimBlanks(std::string_view s);

char LowerAscii(char c);
std::string LowerAscii(std::string_view s);
bool EqualNoCase(std::string_view a, std::string_view b);
// True when `needle` occurs in `haystack`, ASCII letters compared without regard to case.
bool ContainsNoCase(std::string_view haystack, std::string_view needle);

// The pieces between separators. An empty text gives one empty piece (the
// run time's Split gives none: callers that rely on that test for "" first).
std::vector<std::string> Split(std::string_view s, std::string_view separator);

}  // namespace kestrel::text
