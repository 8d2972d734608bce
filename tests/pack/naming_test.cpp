// Pack folder and file names, and the application codes refused before any
// name is formed from them.
#include <gtest/gtest.h>

#include <string>

#include "base/error.h"
#include "base/errors_ours.h"
#include "pack/naming.h"

namespace kestrel::pack {
namespace {

TEST(NamingTest, PackFolderAndDataFileNames) {
  EXPECT_EQ(PackFolderName(12, "A1", "B2", true), "12-A1-B2-S");
  EXPECT_EQ(PackFolderName(40, "SAP", "SAP", false), "40-SAP-SAP-M");
  EXPECT_EQ(DataFileName("QZDDI100", "A1"), "qzddi100A1.dat");  // the table in lower case, the code as stored
  EXPECT_EQ(DataFileName("qzlgy141", "Ab"), "qzlgy141Ab.dat");
  // Codes that differ by a trailing letter give distinct files.
  EXPECT_NE(DataFileName("qzddi140", "A1"), DataFileName("qzddi140", "A1X"));
}

TEST(NamingTest, CodesThatCouldLeaveThePackFolderAreRefused) {
  const std::string refused[] = {"", "..", "a/b", "a\\b", "/abs", "x..y", std::string("a\0b", 3), "tab\there",
                                 "line\r\n", "del\x7f"};
  for (const auto& code : refused) {
    SCOPED_TRACE(QuoteForMessage(code));
    for (auto attempt : {+[](const std::string& c) { CheckApplicationCode(c); },
                         +[](const std::string& c) { (void)DataFileName("qzddi100", c); },
                         +[](const std::string& c) { (void)PackFolderName(1, "A1", c, true); },
                         +[](const std::string& c) { (void)PackFolderName(1, c, "A1", false); }}) {
      try {
        attempt(code);
        ADD_FAILURE() << "accepted";
      } catch (const ComError& e) {
        EXPECT_EQ(e.number(), Number(Ours::BadApplicationCode));
        EXPECT_NE(e.description().find(DefaultText(Ours::BadApplicationCode)), std::string::npos);
      }
    }
  }
  for (const char* code : {"A1", "SAP-R3", "x.y", "ÄB"}) EXPECT_NO_THROW(CheckApplicationCode(code)) << code;
}

}  // namespace
}  // namespace kestrel::pack
