// Stored bytes shown as UTF-8 and typed back: every byte survives the trip,
// and UTF-8 that stands for no stored byte is refused.
#include "kestrel/latin1.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(Latin1, EveryByteComesBackFromItsUtf8) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = Latin1ToUtf8(all);
  EXPECT_EQ(utf8.size(), 127u + 2 * 128u);
  EXPECT_EQ(Utf8ToLatin1(utf8), all);
  EXPECT_EQ(Utf8ToLatin1("M\xC3\xBCller & S\xC3\xB6hne"), "M\xFCller & S\xF6hne");
}

TEST(Latin1, Utf8WithoutAStoredByteIsRefused) {
  struct Row {
    const char* why;
    std::string utf8;
  };
  const Row rows[] = {
      {"a character beyond U+00FF (the euro sign)", "price \xE2\x82\xAC"},
      {"a lead byte at the end", "caf\xC3"},
      {"a lead byte without its continuation", "caf\xC3" "e"},
      {"a continuation byte alone", "caf\xA9"},
      {"the overlong form of a slash", "..\xC0\xAF"},
  };
  for (const Row& r : rows) EXPECT_EQ(Utf8ToLatin1(r.utf8), std::nullopt) << r.why;
}

}  // namespace
}  // namespace kestrel
