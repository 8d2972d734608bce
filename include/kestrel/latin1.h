// Stored texts are 8-bit bytes, never transcoded. Where a reader needs UTF-8
// (JSON, a terminal whose locale is UTF-8), each byte is shown as the Latin-1
// character of its value, so that every byte stays visible and distinct.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "kestrel/export.h"

namespace kestrel {

// Each byte as the Latin-1 character of its value, encoded as UTF-8; 7-bit
// ASCII comes back unchanged.
KESTREL_API std::string Latin1ToUtf8(std::string_view bytes);

// The reverse, for texts a host typed back: each character U+0000 to U+00FF
// as the byte of its value; nullopt for UTF-8 that is malformed or holds a
// character beyond U+00FF, which no stored byte stands for.
KESTREL_API std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

}  // namespace kestrel
