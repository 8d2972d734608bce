// The trap formatter and the errno mapping.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "base/error.h"
#include "base/errors_ours.h"

namespace kestrel {
namespace {

TEST(ErrorTest, TrapTextsKeepTheirFixedForms) {
  ComError e(53, "File not found");
  EXPECT_EQ(TrapText(ExportTrapHead("ExportSingleProfile"), e),
            "UnSpecified Error: --ExportSingleProfile-- 53   File not found");
  EXPECT_EQ(TrapText(ImportTrapHead("InsertInMap101"), e),
            "Unspecified Error : --InsertInMap101-- 53   File not found");
  // The writers' tags join the number directly.
  EXPECT_EQ(TrapText("UnSpecified Error: --Qzmap120--", e), "UnSpecified Error: --Qzmap120--53   File not found");
  EXPECT_EQ(TrapText(ExportWriterTrapHead("Export Code"), e), "UnSpecified Error: --Export Code--53   File not found");
  ErrorState st;
  st.Trap(999, "UnSpecified Error: --Qzmap110--", ComError(94, "Invalid use of Null"));
  EXPECT_EQ(st.ErrorNumber, 999);
  EXPECT_EQ(st.ErrorDescription, "UnSpecified Error: --Qzmap110--94   Invalid use of Null");
}

// The state keeps the number in 32 bits; the interface reads it cut to 16.
TEST(ErrorTest, TheNumberIsReadCutToSixteenBits) {
  const struct {
    int32_t kept;
    int16_t read;
  } cases[] = {{0, 0}, {899, 899}, {32767, 32767}, {32768, -32768}, {70000, 4464}, {-1, -1}};
  for (const auto& c : cases) {
    ErrorState st;
    st.Set(c.kept, "wide");
    EXPECT_EQ(st.NumberAsRead(), c.read) << c.kept;
    EXPECT_EQ(st.ErrorNumber, c.kept);
  }
}

TEST(ErrorTest, ErrnoMapsToRunTimeNumbers) {
  auto raised = [](int err, bool folder) {
    try {
      RaiseErrno(err, folder);
    } catch (const ComError& e) {
      return std::to_string(e.number()) + " " + e.description();
    }
    return std::string("nothing raised");
  };
  // The run time's own texts, so that trap messages read as they always did.
  EXPECT_EQ(raised(ENOENT, false), "53 File not found");
  EXPECT_EQ(raised(ENOENT, true), "76 Path not found");
  EXPECT_EQ(raised(ENOTDIR, false), "76 Path not found");
  EXPECT_EQ(raised(EACCES, false), "70 Permission denied");
  EXPECT_EQ(raised(EROFS, true), "70 Permission denied");
  // Anything else keeps errno and the system's text for it.
  EXPECT_EQ(raised(ENOSPC, false), std::to_string(ENOSPC) + " " + std::strerror(ENOSPC));
}

TEST(ErrorTest, OurErrorsComeFromOneTable) {
  EXPECT_EQ(Number(Ours::Internal), 9001);
  try {
    Raise(Ours::AmbiguousFileName);
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 9002);
    EXPECT_EQ(e.description(), DefaultText(Ours::AmbiguousFileName));
  }
}

// docs/errors.md mirrors the table: every row with its number and text.
TEST(ErrorTest, TheErrorsDocumentListsEveryRowOfTheTable) {
  std::ifstream in(std::string(KESTREL_SOURCE_DIR) + "/docs/errors.md", std::ios::binary);
  ASSERT_TRUE(in) << "docs/errors.md is missing";
  std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::set<int32_t> numbers;
  for (Ours e : AllOurs()) {
    EXPECT_TRUE(numbers.insert(Number(e)).second) << "number " << Number(e) << " is used twice";
    std::string row = "| " + std::to_string(Number(e)) + " | `";
    size_t at = doc.find(row);
    ASSERT_NE(at, std::string::npos) << "docs/errors.md has no row for " << Number(e);
    std::string line = doc.substr(at, doc.find('\n', at) - at);
    EXPECT_NE(line.find("| " + std::string(DefaultText(e)) + " |"), std::string::npos)
        << "the text of " << Number(e) << " differs: " << line;
  }
  // The run-time numbers in use are documented too.
  for (int32_t n : {rt::InvalidProcedureCall, rt::Overflow, rt::TypeMismatch, rt::BadFileNameOrNumber,
                    rt::FileNotFound, rt::FileAlreadyExists, rt::InputPastEnd, rt::PermissionDenied,
                    rt::PathNotFound, rt::ObjectNotSet, rt::InvalidUseOfNull, rt::CannotCreateObject})
    EXPECT_NE(doc.find("| " + std::to_string(n) + " | " + std::string(RuntimeErrorText(n)) + " |"),
              std::string::npos)
        << n;
}

}  // namespace
}  // namespace kestrel
