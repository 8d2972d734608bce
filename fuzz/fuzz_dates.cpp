// Fuzz target: the date parser. Whatever it accepts is a valid date and time
// that reads back the same from the text written for it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/datetime.h"
#include "kestrel/error.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<DateTime> d = ParseDateTime(text);
  if (d) {
    if (!IsValidDate(d->Year, d->Month, d->Day)) __builtin_trap();
    if (d->Hour < 0 || d->Hour > 23 || d->Minute < 0 || d->Minute > 59 || d->Second < 0 || d->Second > 59)
      __builtin_trap();
    if (ParseDateTime(FormatDateTime(*d)) != d) __builtin_trap();
    FormatCompact(*d);
  }
  try {
    ToDateTime(text);
  } catch (const ComError&) {
  }
  return 0;
}
