// Stored texts shown as the locale asks.
#include "present/shown_text.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "kestrel/latin1.h"

namespace kestrel::present {

ShownEncoding EncodingOfLocale(Env& env) {
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"})
    if (locale = env.Variable(name); !locale.empty()) break;
  // The codeset follows the first "." and ends at a "@" modifier.
  const size_t dot = locale.find('.');
  if (dot == std::string::npos) return ShownEncoding::StoredBytes;
  std::string codeset = locale.substr(dot + 1, locale.find('@', dot) - dot - 1);
  std::transform(codeset.begin(), codeset.end(), codeset.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return codeset == "utf-8" || codeset == "utf8" ? ShownEncoding::Utf8 : ShownEncoding::StoredBytes;
}

std::string ShownText(std::string_view stored, ShownEncoding encoding) {
  return encoding == ShownEncoding::Utf8 ? Latin1ToUtf8(stored) : std::string(stored);
}

std::string StoredFromTyped(std::string_view typed, ShownEncoding encoding) {
  if (encoding == ShownEncoding::Utf8)
    if (std::optional<std::string> stored = Utf8ToLatin1(typed)) return *stored;
  return std::string(typed);
}

size_t ShownWidth(std::string_view shown, ShownEncoding encoding) {
  if (encoding != ShownEncoding::Utf8) return shown.size();
  return static_cast<size_t>(
      std::count_if(shown.begin(), shown.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace kestrel::present
