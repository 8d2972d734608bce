// Small scans of value texts that the pack writers use to refuse values their
// line formats cannot carry, and the readers' refusal of a byte-order mark.
#pragma once

#include <string_view>

#include "base/errors_ours.h"

namespace kestrel::pack {

// Whether one of the CR LF separated lines of `text` equals `line`.
inline bool HasLine(std::string_view text, std::string_view line) {
  for (size_t at = text.find(line); at != std::string_view::npos; at = text.find(line, at + 1)) {
    bool starts = at == 0 || (at >= 2 && text.substr(at - 2, 2) == "\r\n");
    size_t after = at + line.size();
    bool ends = after == text.size() || text.substr(after, 2) == "\r\n";
    if (starts && ends) return true;
  }
  return false;
}

// Whether a line of `text` (the first one left out when `skip_first`) begins with `prefix`.
inline bool HasLineStartingWith(std::string_view text, std::string_view prefix, bool skip_first) {
  if (!skip_first && text.substr(0, prefix.size()) == prefix) return true;
  for (size_t at = text.find("\r\n"); at != std::string_view::npos; at = text.find("\r\n", at + 2))
    if (text.substr(at + 2, prefix.size()) == prefix) return true;
  return false;
}

// Pack files are bytes written by the exporter, which never writes a
// byte-order mark; one in front of the first line would become part of its
// first value (a profile number "\xEF\xBB\xBF30"). Raises 9008 naming the file.
inline void RefuseByteOrderMark(std::string_view first_line, std::string_view path) {
  if (first_line.substr(0, 3) == "\xEF\xBB\xBF")
    RaiseMalformedPackFile(path, 1, "the file starts with a UTF-8 byte-order mark");
}

}  // namespace kestrel::pack
