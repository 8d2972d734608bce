// How the checks of a pack's files before an import name what they refuse:
// the place (file and line), a refusal raised with it, and a value holding a
// NUL byte. Internal to the
// import's checks and their tests.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "kestrel/error.h"

namespace kestrel::importer {

// Why the check refused a pack: the error as the import would have raised
// it, and the file and line (or what else) it is about.
struct PackRefusal {
  Error error;
  std::string place;
};

// "PATH, line N", or the path alone for line 0 (the file as a whole).
inline std::string Place(const std::string& path, size_t line) {
  return line ? fmt::format("{}, line {}", path, line) : path;
}

// A place Place() wrote (or another the checks name, "the application data
// files") read back: a path's file name, its line, and the path; a text
// that names no file of the pack is kept as the file.
inline kestrel::Place RefusalPlace(std::string_view place) {
  constexpr std::string_view kLine = ", line ";
  kestrel::Place p;
  std::string_view path = place;
  if (const size_t at = place.rfind(kLine); at != std::string_view::npos) {
    const std::string_view digits = place.substr(at + kLine.size());
    if (!digits.empty() && digits.size() < 19 && digits.find_first_not_of("0123456789") == std::string_view::npos) {
      for (char c : digits) p.line = p.line * 10 + (c - '0');
      path = place.substr(0, at);
    }
  }
  if (const size_t slash = path.rfind('/'); slash != std::string_view::npos) {
    p.path = std::string(path);
    p.file = std::string(path.substr(slash + 1));
  } else {
    p.file = std::string(path);
  }
  return p;
}

// The place a refusal names, as the import's messages show it: the file and
// line, or a folder (`path`).
inline std::string PlaceText(const kestrel::Place& place) {
  return place.file.empty() ? place.path : Place(place.file, static_cast<size_t>(place.line));
}

// The failure `e`, raised again as a refusal of `file` at `line` (0: the
// file as a whole).
[[noreturn]] inline void RaiseAt(const ComError& e, const std::string& file, size_t line) {
  kestrel::Place place;
  place.file = file;
  place.line = static_cast<int64_t>(line);
  throw Error(e.number(), e.description(), std::move(place));
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
