// Raising the errors of our own (kestrel/errors.h lists them) and the helpers
// that name a failure's cause in their texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/errors.h"

namespace kestrel {

// Throws ComError(e, detail or the default text).
[[noreturn]] void Raise(Ours e, std::string detail = {});
// The default text + ": " + detail.
std::string TextWithDetail(Ours e, std::string_view detail);
// Throws ComError(e, TextWithDetail(e, detail)).
[[noreturn]] void RaiseWithDetail(Ours e, std::string_view detail);

// Raises Ours::MalformedPackFile naming the file, the 1-based line and what is
// wrong there; `found` (the offending line, shortened) is quoted when given.
[[noreturn]] void RaiseMalformedPackFile(std::string_view path, size_t line, std::string_view what,
                                         std::optional<std::string_view> found = std::nullopt);

// A text shortened to `limit` bytes for a message, control characters as \xNN.
std::string QuoteForMessage(std::string_view text, size_t limit = 60);

}  // namespace kestrel
