// Reading profile lists back into numbers.
#include "exporter/profile_list.h"

#include <charconv>

#include "base/error.h"

namespace kestrel::exporter {

int64_t ProfileNumber(std::string_view text) {
  int64_t n = 0;
  const char* end = text.data() + text.size();
  auto [at, ec] = std::from_chars(text.data(), end, n);
  if (text.empty() || ec != std::errc() || at != end) RaiseRuntime(rt::TypeMismatch);
  return n;
}

std::vector<int64_t> ProfileNumbers(std::string_view list) {
  std::vector<int64_t> numbers;
  size_t pos = 0;
  for (;;) {
    size_t blank = list.find(' ', pos);
    numbers.push_back(ProfileNumber(list.substr(pos, blank == std::string_view::npos ? blank : blank - pos)));
    if (blank == std::string_view::npos) return numbers;
    pos = blank + 1;
  }
}

}  // namespace kestrel::exporter
