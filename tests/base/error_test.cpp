// The error formatter, the 16-bit reading of the number, and docs/errors.md
// as the mirror of the error table. How errno maps to run-time numbers: the
// failures of files_test and env_test.
#include <gtest/gtest.h>

#include <set>

#include "base/error.h"
#include "base/errors_ours.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel {
namespace {

TEST(ErrorTest, TrapTextsKeepTheirFixedForms) {
  const ComError e(53, "File not found");
  EXPECT_EQ(TrapText(ExportTrapHead("ExportSingleProfile"), e),
            "UnSpecified Error: --ExportSingleProfile-- 53   File not found");
  EXPECT_EQ(TrapText(ImportTrapHead("InsertInMap101"), e), "Unspecified Error : --InsertInMap101-- 53   File not found");
  EXPECT_EQ(TrapText(ExportWriterTrapHead("Export Code"), e), "UnSpecified Error: --Export Code--53   File not found");
  ErrorState st;
  st.Trap(999, "UnSpecified Error: --Qzmap110--", ComError(94, "Invalid use of Null"));
  EXPECT_EQ(st.ErrorNumber, 999);
  EXPECT_EQ(st.ErrorDescription, "UnSpecified Error: --Qzmap110--94   Invalid use of Null");
  // The state keeps the number in 32 bits; the interface reads it cut to 16.
  const std::pair<int32_t, int16_t> cut[] = {{899, 899}, {32767, 32767}, {32768, -32768}, {70000, 4464}, {-1, -1}};
  for (const auto& [kept, read] : cut) {
    st.Set(kept, "wide");
    EXPECT_EQ(st.NumberAsRead(), read) << kept;
    EXPECT_EQ(st.ErrorNumber, kept);
  }
}

// docs/errors.md mirrors the table: every row with its number and text.
TEST(ErrorTest, TheErrorsDocumentListsEveryRowOfTheTable) {
  const std::string doc = kestrel::testing::ReadFile(std::string(KESTREL_SOURCE_DIR) + "/docs/errors.md");
  ASSERT_FALSE(doc.empty()) << "docs/errors.md is missing";
  std::set<int32_t> numbers;
  for (Ours e : AllOurs()) {
    EXPECT_TRUE(numbers.insert(Number(e)).second) << "number " << Number(e) << " is used twice";
    const size_t at = doc.find("| " + std::to_string(Number(e)) + " | `");
    ASSERT_NE(at, std::string::npos) << "docs/errors.md has no row for " << Number(e);
    const std::string line = doc.substr(at, doc.find('\n', at) - at);
    EXPECT_NE(line.find("| " + std::string(DefaultText(e)) + " |"), std::string::npos) << line;
  }
  for (int32_t n : {rt::InvalidProcedureCall, rt::Overflow, rt::TypeMismatch, rt::BadFileNameOrNumber,
                    rt::FileNotFound, rt::FileAlreadyExists, rt::InputPastEnd, rt::PermissionDenied,
                    rt::PathNotFound, rt::ObjectNotSet, rt::InvalidUseOfNull, rt::CannotCreateObject})
    EXPECT_NE(doc.find("| " + std::to_string(n) + " | " + std::string(RuntimeErrorText(n)) + " |"),
              std::string::npos)
        << n;
}

}  // namespace
}  // namespace kestrel
