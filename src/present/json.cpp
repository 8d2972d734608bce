// Pack entry fields as JSON numbers or texts.
#include "present/json.h"

#include <charconv>

namespace kestrel::present {

Json JsonNumberOrText(std::string_view text) {
  long long n = 0;
  const char* end = text.data() + text.size();
  if (!text.empty() && text.size() < 19) {
    auto [ptr, ec] = std::from_chars(text.data(), end, n);
    if (ec == std::errc() && ptr == end) return n;
  }
  return JsonText(text);
}

}  // namespace kestrel::present
