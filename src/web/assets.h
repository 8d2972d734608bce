// The pages of the web wizard (web/ in the source tree), built into the
// program: CMake turns each file into bytes of a generated source file, so
// the program serves them with nothing read from disk or fetched from outside.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrel::web {

struct Asset {
  std::string_view path;  // as requested: "/", "/app.js", ...
  std::string_view content_type;
  std::string_view bytes;
};

// The asset served at `path`; nullptr when there is none.
const Asset* FindAsset(std::string_view path);

}  // namespace kestrel::web
