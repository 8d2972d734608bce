// Pack folder and file names, the application codes refused before any name
// is formed from them, and finding a file's layout by its name.
#include <gtest/gtest.h>

#include <string>

#include "base/errors_ours.h"
#include "pack/layout.h"
#include "pack/naming.h"
#include "support/error_of.h"

namespace kestrel::pack {
namespace {

TEST(NamingTest, NamesAndTheCodesRefusedBeforeAnyNameIsFormed) {
  EXPECT_EQ(PackFolderName(12, "A1", "B2", true) + " " + PackFolderName(40, "SAP", "SAP", false), "12-A1-B2-S 40-SAP-SAP-M");
  EXPECT_EQ(DataFileName("QZDDI100", "Ab"), "qzddi100Ab.dat");  // the table in lower case, the code as stored
  for (const std::string& code : {std::string(""), std::string(".."), std::string("a/b"), std::string("a\\b"),
                                  std::string("x..y"), std::string("a\0b", 3), std::string("tab\there"),
                                  std::string("line\r\n"), std::string("del\x7f")}) {
    SCOPED_TRACE(QuoteForMessage(code));
    for (auto attempt : {+[](const std::string& c) { CheckApplicationCode(c); },
                         +[](const std::string& c) { (void)DataFileName("qzddi100", c); },
                         +[](const std::string& c) { (void)PackFolderName(1, "A1", c, true); },
                         +[](const std::string& c) { (void)PackFolderName(1, c, "A1", false); }}) {
      const ComError e = kestrel::testing::CaughtFrom([&] { attempt(code); });
      EXPECT_EQ(e.number(), Number(Ours::BadApplicationCode));
      EXPECT_NE(e.description().find(DefaultText(Ours::BadApplicationCode)), std::string::npos);
    }
  }
  for (const char* code : {"A1", "SAP-R3", "x.y", "ÄB", "A B", "~"}) EXPECT_NO_THROW(CheckApplicationCode(code)) << code;
}

// Layouts are found by file or table name without regard to case, as packs
// written by other hands name their files.
TEST(LayoutTest, FilesAreFoundWithoutRegardToCaseAndNamedInTheirOwn) {
  EXPECT_EQ(RuleFileName(kQzmap170, false), "qzmap170.dat");
  EXPECT_EQ(RuleFileName(kQzmap175, true), "Qzmap175.dat");
  EXPECT_EQ(TaggedLayoutOfFile("QZMAP175.DAT"), &kQzmap175);
  EXPECT_EQ(TaggedLayoutOfFile("Qzmap100.dat"), nullptr);
  EXPECT_EQ(RowLayoutOfFile("qzmap100.dat"), &kQzmap100Rows);
  EXPECT_EQ(FindTaggedLayout("qzlib105"), &kQzlib105);
  EXPECT_EQ(FindRowLayout("qzlgy115"), &kQzlgy115Rows);
}

}  // namespace
}  // namespace kestrel::pack
