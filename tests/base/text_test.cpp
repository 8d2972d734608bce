// Trimming, case-blind comparison and splitting of 8-bit texts.
#include <gtest/gtest.h>

#include "base/text.h"

namespace kestrel::text {
namespace {

TEST(TextTest, TrimRemovesBlanksOnly) {
  EXPECT_EQ(TrimBlanks("  7 "), "7");
  EXPECT_EQ(TrimBlanks("\t7\r"), "\t7\r");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks(" a b "), "a b");
}

TEST(TextTest, CaseBlindOnAsciiLettersOnly) {
  EXPECT_TRUE(ContainsNoCase("xiis=5", "IIS="));
  EXPECT_TRUE(ContainsNoCase("IIS=", "iis="));
  EXPECT_FALSE(ContainsNoCase("IS=5", "IIS="));
  EXPECT_FALSE(ContainsNoCase("II", "IIS="));
  EXPECT_TRUE(EqualNoCase("Tresk2.0", "TRESK2.0"));
  EXPECT_FALSE(EqualNoCase("\xE9", "\xC9"));  // bytes beyond ASCII compare as they are
}

TEST(TextTest, SplitKeepsEmptyPieces) {
  EXPECT_EQ(Split("12, 15, 20", ", "), (std::vector<std::string>{"12", "15", "20"}));
  EXPECT_EQ(Split("10_", "_"), (std::vector<std::string>{"10", ""}));
  EXPECT_EQ(Split("a||b", "|"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(Split("", "|"), (std::vector<std::string>{""}));
}

}  // namespace
}  // namespace kestrel::text
