// Text helpers shared by the component's procedures.
#include "base/text.h"

namespace kestrel::text {

std::string_view TrimBlanks(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  // An all-blank text trims to the empty view at its end, still inside it, so
  // that callers may take offsets from it.
  if (b == std::string_view::npos) return s.substr(s.size());
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = LowerAscii(c);
  return out;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return true;
  if (needle.size() > haystack.size()) return false;
  for (size_t i = 0; i + needle.size() <= haystack.size(); ++i)
    if (EqualNoCase(haystack.substr(i, needle.size()), needle)) return true;
  return false;
}

std::vector<std::string> Split(std::string_view s, std::string_view separator) {
  std::vector<std::string> out;
  if (separator.empty()) {
    out.emplace_back(s);
    return out;
  }
  size_t start = 0;
  for (;;) {
    size_t at = s.find(separator, start);
    if (at == std::string_view::npos) {
      out.emplace_back(s.substr(start));
      return out;
    }
    out.emplace_back(s.substr(start, at - start));
    start = at + separator.size();
  }
}

}  // namespace kestrel::text
