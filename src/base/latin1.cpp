// Showing 8-bit stored texts as UTF-8.
#include "kestrel/latin1.h"

namespace kestrel {

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::optional<std::string> Utf8ToLatin1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += utf8[i];
      continue;
    }
    // Only the two-byte forms of U+0080 to U+00FF (lead byte 0xC2 or 0xC3).
    if ((c != 0xC2 && c != 0xC3) || i + 1 == utf8.size()) return std::nullopt;
    const auto next = static_cast<unsigned char>(utf8[++i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    out += static_cast<char>(((c & 0x03) << 6) | (next & 0x3F));
  }
  return out;
}

}  // namespace kestrel
