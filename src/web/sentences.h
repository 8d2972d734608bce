// What the web wizard says of an error: a sentence for a person at a
// browser and a hint of what to do there. The engine's description stays in
// the answer for scripts, but some descriptions speak the command line's
// words ("run it again with --replace") or the component's legacy texts
// ("Suggession : Set Overwrite Option to True"), which mean nothing on a
// page: the page shows the sentence and the hint alone.
//
// Every error the wizard answers goes through ErrorBody, so the wording
// lives in SayError alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "present/json.h"

namespace kestrel::web {

struct Said {
  std::string sentence;
  std::string hint;  // "" when there is nothing to do but read the sentence
};

// The sentence and hint for error `number` with the engine's `description`
// (UTF-8). A description that speaks to no particular face is the sentence.
Said SayError(int32_t number, std::string_view description);

// {"error": {"number", "description", "sentence", "hint"}}: the shape of
// every error answer, `description` as stored bytes (decoded to UTF-8 here).
present::Json ErrorBody(int32_t number, std::string_view description);

}  // namespace kestrel::web
