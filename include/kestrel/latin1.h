// Stored texts are 8-bit bytes, never transcoded. Where a reader needs UTF-8
// (JSON, a terminal whose locale is UTF-8), each byte is shown as the Latin-1
// character of its value, so that every byte stays visible and distinct.
#pragma once

#include <string>
#include <string_view>

namespace kestrel {

// Each byte as the Latin-1 character of its value, encoded as UTF-8; 7-bit
// ASCII comes back unchanged.
std::string Latin1ToUtf8(std::string_view bytes);

}  // namespace kestrel
