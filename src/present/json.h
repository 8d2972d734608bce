// The JSON both faces that answer in JSON (the command line's --json and the
// web wizard's interface) build their answers with: objects that keep their
// keys in the order they were set, stored texts decoded to UTF-8, the fields
// of pack entries as numbers where they are numbers, and the shape of an
// error.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <string_view>

#include "kestrel/error.h"
#include "kestrel/latin1.h"

namespace kestrel::present {

// JSON objects keep their keys in the order they were set.
using Json = nlohmann::ordered_json;

// A stored text as a JSON string, which must be UTF-8: decoded from Latin-1.
inline Json JsonText(std::string_view bytes) { return kestrel::Latin1ToUtf8(bytes); }

// A field of a pack entry: a number when the whole text is a decimal
// integer, else the text.
Json JsonNumberOrText(std::string_view text);

// Where a failure is: an object with the fields of the place that are known
// ("file", "line", "table", "entry", "path"), or null when none is. (Inline,
// as ErrorJson: the wizard's HTTP module takes these headers without linking
// this floor.)
inline Json PlaceJson(const Place& place) {
  if (place.Empty()) return nullptr;
  Json j = Json::object();
  if (!place.file.empty()) j["file"] = JsonText(place.file);
  if (place.line > 0) j["line"] = place.line;
  if (!place.table.empty()) j["table"] = JsonText(place.table);
  if (place.entry >= 0) j["entry"] = place.entry;
  if (!place.path.empty()) j["path"] = JsonText(place.path);
  return j;
}

// {"error": {"number": N, "description": TEXT, "place": PLACE}}: how every
// face that answers in JSON (the web wizard's interface, the command line's
// --json) says that it failed.
inline Json ErrorJson(int32_t number, std::string_view description, const Place& place = {}) {
  return Json{{"error", Json{{"number", number}, {"description", JsonText(description)}, {"place", PlaceJson(place)}}}};
}
inline Json ErrorJson(const Error& e) { return ErrorJson(e.number(), e.description(), e.place()); }

}  // namespace kestrel::present
