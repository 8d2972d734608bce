// Pack entry fields as JSON numbers or texts, and errors as JSON.
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

Json PlaceJson(const Place& place) {
  if (place.Empty()) return nullptr;
  Json j = Json::object();
  if (!place.file.empty()) j["file"] = JsonText(place.file);
  if (place.line > 0) j["line"] = place.line;
  if (!place.table.empty()) j["table"] = JsonText(place.table);
  if (place.entry >= 0) j["entry"] = place.entry;
  if (!place.path.empty()) j["path"] = JsonText(place.path);
  return j;
}

Json ErrorJson(int32_t number, std::string_view description, const Place& place) {
  return Json{{"error", Json{{"number", number}, {"description", JsonText(description)}, {"place", PlaceJson(place)}}}};
}

}  // namespace kestrel::present
