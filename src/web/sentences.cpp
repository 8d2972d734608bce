// The web wizard's sentences and hints for the errors a page meets.
#include "web/sentences.h"

#include <fmt/format.h>

#include "kestrel/error.h"
#include "kestrel/errors.h"

namespace kestrel::web {
namespace {

// What the engine added to an error's own text ("TEXT: DETAIL"), "" when
// the description is the text alone or another one.
std::string_view DetailOf(std::string_view description, Ours e) {
  const std::string_view text = DefaultText(e);
  if (description.substr(0, text.size()) != text || description.substr(text.size(), 2) != ": ") return "";
  return description.substr(text.size() + 2);
}

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

// The export's refusal of a pack folder that is there already, whose number
// the pack reader also gives a pack whose manifest says its export failed:
// told apart by the legacy text, which is fixed.
constexpr std::string_view kAlreadyExported = "Error : Migration Profile Already Exported";

}  // namespace

Said SayError(int32_t number, std::string_view description) {
  const auto is = [number](Ours e) { return number == Number(e); };
  if (is(Ours::ReplaceNotConfirmed)) {
    std::string_view what = DetailOf(description, Ours::ReplaceNotConfirmed);
    constexpr std::string_view kHolds = "the store holds ";
    if (StartsWith(what, kHolds)) what.remove_prefix(kHolds.size());
    return {what.empty() ? "The import would delete and replace what the store holds, which was not confirmed."
                         : fmt::format("The import would delete and replace what the store holds ({}), which was "
                                       "not confirmed. Nothing was imported.",
                                       what),
            "Press Import and confirm the replacement in the dialog that names what it replaces."};
  }
  if (is(Ours::ReplaceNotAsConfirmed))
    return {std::string(description), "Nothing was imported. Press Import again to see what it replaces now."};
  if (number == 3 && StartsWith(description, kAlreadyExported))
    return {"A pack of this profile with these options is already in the export root.",
            "Tick “Write again into an existing pack folder” to replace it, or open it from the Packs page."};
  if (is(Ours::StoreLocked))
    return {std::string(description), "Another program is writing to the store; try again once it has finished."};
  if (is(Ours::ImportRunning))
    return {std::string(description), "Its progress shows on the page that started it; the Run log follows."};
  if (is(Ours::PackWithoutSums) || is(Ours::PackSumsMismatch))
    return {std::string(description),
            "The wizard imports only packs that are as their export wrote them: export the profile again."};
  if (number == kestrel::rt::PermissionDenied)
    return {"This page has no access to the wizard.",
            "Open the wizard at the address, with its token, printed when the wizard started."};
  return {std::string(description), ""};
}

present::Json ErrorBody(int32_t number, std::string_view description) {
  const std::string utf8 = kestrel::Latin1ToUtf8(description);
  const Said said = SayError(number, utf8);
  present::Json body = present::ErrorJson(number, description);
  body["error"]["sentence"] = said.sentence;
  body["error"]["hint"] = said.hint;
  return body;
}

}  // namespace kestrel::web
