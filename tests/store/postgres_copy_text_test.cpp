// The COPY text that rows travel in to the server, and reading a line of it
// back into values: rows held for a COPY live only as this text, and a
// refused group goes again row by row from it, so every value must read back
// as the statement that inserts it alone would have sent it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/postgres/copy_text.h"
#include "support/error_of.h"

namespace kestrel::store::postgres {
namespace {

using kestrel::testing::ErrorOf;

std::string EveryByte() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

TEST(PostgresCopyTextTest, EachValueReadsBackAsItWasPut) {
  const struct {
    Value put;
    bool binary;
    std::string text;  // as the line holds it
    Value read;        // as it reads back
  } rows[] = {
      {Value(), false, "\\N", Value()},
      {Value(), true, "\\N", Value()},
      {Value(""), false, "", Value("")},
      {Value("\\N"), false, "\\\\N", Value("\\N")},
      {Value("ACC10"), false, "ACC10", Value("ACC10")},
      {Value("Tab\tand\\back\r\nslash"), false, "Tab\\tand\\\\back\\r\\nslash", Value("Tab\tand\\back\r\nslash")},
      {Value("m\xE9nage \x01\x7F\xFF"), false, "m\xE9nage \x01\x7F\xFF", Value("m\xE9nage \x01\x7F\xFF")},
      {Value(int64_t{-9223372036854775807 - 1}), false, "-9223372036854775808", Value("-9223372036854775808")},
      {Value(2550), false, "2550", Value("2550")},
      {Value(0.25), false, "0.25", Value("0.25")},
      {Value("\t\n\\"), true, "\\\\x090a5c", Value("\t\n\\")},
      {Value(""), true, "\\\\x", Value("")},
  };
  // Every value on its own, then all of them in one line.
  std::string line;
  std::vector<bool> binary;
  std::vector<Value> read;
  for (const auto& row : rows) {
    std::string one;
    AppendCopyValue(one, row.put, row.binary);
    EXPECT_EQ(one, row.text) << row.text;
    EXPECT_EQ(ReadCopyValues(one, {row.binary}), std::vector<Value>{row.read}) << row.text;
    line += (line.empty() && binary.empty() ? "" : "\t") + one;
    binary.push_back(row.binary);
    read.push_back(row.read);
  }
  EXPECT_EQ(ReadCopyValues(line, binary), read);
  // A bytea value keeps every byte.
  std::string bytes;
  AppendCopyValue(bytes, Value(EveryByte()), true);
  EXPECT_EQ(ReadCopyValues(bytes, {true}), std::vector<Value>{Value(EveryByte())});
}

TEST(PostgresCopyTextTest, EscapesItNeverWritesAreRefused) {
  for (const std::string line : {"ends in \\", "octal \\101", "a\t\\x41", "not null \\N"})
    EXPECT_EQ(ErrorOf([&] { ReadCopyValues(line, {false, false}); }), Number(Ours::Internal)) << line;
}

// Lines as the server's COPY ... TO writes them: every control byte it
// escapes with a letter comes back, a field that only looks like NULL is
// text, and a short line after a long one leaves none of the long one's
// fields behind.
TEST(PostgresCopyTextTest, TheServersLinesSplitIntoTheirFields) {
  const struct {
    std::string line;
    std::vector<std::string> fields;
    std::vector<uint8_t> nulls;
  } rows[] = {
      {"ACCX2\tACCT\t\\N\t\t42", {"ACCX2", "ACCT", "", "", "42"}, {0, 0, 1, 0, 0}},
      {"a\\tb\\r\\nc\\\\d\\b\\f\\v", {"a\tb\r\nc\\d\b\f\v"}, {0}},
      {"\\\\N\t\\N", {"\\N", ""}, {0, 1}},
      {"m\xE9nage \x01\x7F\xFF\t", {"m\xE9nage \x01\x7F\xFF", ""}, {0, 0}},
      {"", {""}, {0}},
      {"\\N", {""}, {1}},
  };
  std::vector<std::string> fields = {"left", "over", "from", "a", "longer", "line"};
  std::vector<uint8_t> nulls(6, 1);
  for (const auto& row : rows) {
    SplitCopyLine(row.line, fields, nulls);
    EXPECT_EQ(fields, row.fields) << row.line;
    EXPECT_EQ(nulls, row.nulls) << row.line;
  }
  for (const std::string line : {"a\\", "a\\x41", "a\\N", "\\0"})
    EXPECT_EQ(ErrorOf([&] { SplitCopyLine(line, fields, nulls); }), Number(Ours::Internal)) << line;
}

}  // namespace
}  // namespace kestrel::store::postgres
