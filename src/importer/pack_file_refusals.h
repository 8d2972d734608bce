// How the checks of a pack's files before an import name what they refuse:
// the place (file and line) and a value holding a NUL byte. Internal to the
// import's checks and their tests.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "base/errors_ours.h"

namespace kestrel::importer {

// "PATH, line N", or the path alone for line 0 (the file as a whole).
inline std::string Place(const std::string& path, size_t line) {
  return line ? fmt::format("{}, line {}", path, line) : path;
}

// A NUL byte would end the statement text that carries the value. `what`
// and `name` say whose value it is; the text is only put together for a
// refusal, since every value of a pack passes here.
inline void RefuseNul(std::string_view text, std::string_view what, std::string_view name = {}) {
  if (text.find('\0') == std::string_view::npos) return;
  std::string whose(what);
  if (!name.empty()) whose.append(" ").append(name);
  RaiseWithDetail(Ours::NulInValue, whose + " " + QuoteForMessage(text));
}

}  // namespace kestrel::importer
