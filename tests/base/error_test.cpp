// docs/errors.md as the mirror of the error table (the texts' fixed forms
// are pinned where each is raised).
#include <gtest/gtest.h>

#include <set>

#include "base/error.h"
#include "base/errors_ours.h"
#include "support/temp_folder.h"

namespace kestrel {
namespace {

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
                    rt::PathNotFound, rt::ObjectNotSet, rt::InvalidUseOfNull, rt::CannotCreateObject,
                    rt::NoSuchMember, rt::WrongArguments})
    EXPECT_NE(doc.find("| " + std::to_string(n) + " | " + std::string(RuntimeErrorText(n)) + " |"),
              std::string::npos)
        << n;
}

// A value quoted in a message shows its control bytes as escapes and is cut
// only when longer than the room given, marked by "...".
TEST(ErrorTest, AQuotedValueIsCutOnlyPastItsRoom) {
  const struct { std::string text; size_t room; std::string quoted; } kRows[] = {
      {"ACC10", 5, "\"ACC10\""},
      {"ACC10X", 5, "\"ACC10...\""},
      {"a\tb\x7F", 60, "\"a\\x09b\\x7F\""},
      {"", 0, "\"\""},
  };
  for (const auto& row : kRows) EXPECT_EQ(QuoteForMessage(row.text, row.room), row.quoted) << row.text;
}

}  // namespace
}  // namespace kestrel
