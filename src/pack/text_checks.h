// Small scans of value texts that the pack writers use to refuse values their
// line formats cannot carry, and the readers' refusal of a byte-order mark.
#pragma once

#include <cstring>
#include <string_view>

#include "base/errors_ours.h"

namespace kestrel::pack {

// Which of two lines some CR LF separated line of `text` equals: bit 1 for
// `first`, bit 2 for `second`, 0 for neither. One pass over the text, the
// line ends found by memchr, so a block value costs one scan however many
// lines it must not hold.
inline unsigned LinesEqualTo(std::string_view text, std::string_view first, std::string_view second) {
  unsigned found = 0;
  const char* const stop = text.data() + text.size();
  const char* line = text.data();
  const char* p = line;
  for (;;) {
    const void* cr = p < stop ? std::memchr(p, '\r', static_cast<size_t>(stop - p)) : nullptr;
    const char* end = cr ? static_cast<const char*>(cr) : stop;
    if (cr && (end + 1 == stop || end[1] != '\n')) {  // a lone CR stays part of the line
      p = end + 1;
      continue;
    }
    const std::string_view here(line, static_cast<size_t>(end - line));
    if (here == first) found |= 1;
    if (here == second) found |= 2;
    if (!cr) return found;
    line = p = end + 2;
  }
}

// Whether `text` holds a CR LF line break. Most tag values are a few bytes,
// looked at in place: a call to memchr costs more than the bytes.
inline bool HasLineBreak(std::string_view text) {
  constexpr size_t kShort = 16;
  if (text.size() <= kShort) {
    for (size_t i = 1; i < text.size(); ++i)
      if (text[i] == '\n' && text[i - 1] == '\r') return true;
    return false;
  }
  const char* p = text.data();
  const char* const stop = p + text.size();
  while (p < stop) {
    const void* cr = std::memchr(p, '\r', static_cast<size_t>(stop - p));
    if (!cr) return false;
    p = static_cast<const char*>(cr) + 1;
    if (p < stop && *p == '\n') return true;
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
