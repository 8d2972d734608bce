// Numbers, dates and texts as the platform reads and writes them: the
// conversions of a column value, the one written date form and the two forms
// readers accept, counts as a progress line shows them, and stored bytes
// shown as UTF-8 and typed back (every byte survives the trip; UTF-8 that
// stands for no stored byte is refused).
#include <gtest/gtest.h>

#include <ctime>

#include "base/datetime.h"
#include "base/error.h"
#include "base/value.h"
#include "kestrel/env.h"
#include "kestrel/latin1.h"
#include "kestrel/progress.h"
#include "support/error_of.h"

namespace kestrel {
namespace {

using kestrel::testing::ErrorOf;

TEST(ValueTest, IntegerOfNumbersAndTexts) {
  struct Row {
    Value value;
    int64_t integer;
    int error;  // the run-time number raised instead; 0: none
  };
  const Row rows[] = {
      {Value(" 175 "), 175, 0}, {Value("+12"), 12, 0}, {Value("-32768"), -32768, 0}, {Value("2.5"), 2, 0},
      {Value("3.5"), 4, 0},     {Value(7.0), 7, 0},    {Value("1e3"), 1000, 0},     {Value(" 2.5 "), 2, 0},
      {Value("12a"), 0, 13},    {Value(""), 0, 13},    {Value("  "), 0, 13},        {Value("+"), 0, 13},
      {Value("inf"), 0, 13},    {Value("0x10"), 0, 13}, {Value("99999999999999999999"), 0, 6},
      {Value("1e300"), 0, 6},   {Value("1e400"), 0, 6}, {Value("-1e999"), 0, 6},    {Value(), 0, 94},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value.IsNull() ? "NULL" : row.value.Text());
    int64_t got = 0;
    EXPECT_EQ(ErrorOf([&] { got = row.value.Integer(); }), row.error);
    EXPECT_EQ(got, row.integer);
  }
  // Bytes as stored, none changed; and a NULL has no text.
  EXPECT_EQ(Value(std::string("  kept \x01\xff", 9)).Text(), std::string("  kept \x01\xff", 9));
  const ComError null = kestrel::testing::CaughtFrom([] { Value().Text(); });
  EXPECT_EQ(std::to_string(null.number()) + " " + null.description(), "94 Invalid use of Null");
}

TEST(DateTimeTest, WrittenInOneFormAndReadInTwo) {
  const DateTime morning{2026, 12, 4, 9, 39, 15};
  EXPECT_EQ(FormatDateTime(morning), "2026-12-04 09:39:15");
  EXPECT_EQ(FormatCompact(DateTime{2000, 1, 31, 23, 5, 0}), "310100230500");
  const std::pair<std::string, DateTime> rows[] = {
      {"2026-12-04 09:39:15", morning},         {"  2026-12-04 09:39:15  ", morning},
      {"12/4/2026 9:39:15 AM", morning},        {"12/04/2026 09:39:15 am", morning},
      {"12/4/2026 9:39:15 PM", {2026, 12, 4, 21, 39, 15}}, {"1/2/2003 12:00:01 AM", {2003, 1, 2, 0, 0, 1}},
      {"1/2/2003 12:30:00 PM", {2003, 1, 2, 12, 30, 0}},   {"7/14/1999 17:05", {1999, 7, 14, 17, 5, 0}},
      {"2024-02-29", {2024, 2, 29, 0, 0, 0}},   {"2/29/2024", {2024, 2, 29, 0, 0, 0}},
      {"9999-12-31 23:59:59", {9999, 12, 31, 23, 59, 59}}, {"2000-02-29", {2000, 2, 29, 0, 0, 0}},
  };
  for (const auto& [text, read] : rows) EXPECT_EQ(ParseDateTime(text), read) << text;
  for (const char* bad : {"", "2023-02-29", "1900-02-29", "2100-02-29", "0000-01-01", "2024-13-01", "2024-04-31",
                          "13/1/2024", "1/32/2024", "2024-01-01 24:00:00", "2024-01-01 10:60:00",
                          "2024-01-01 10:00:60", "1/1/2024 13:00:00 PM", "1/1/24", "20240101", "2024-01-01T10:00:00",
                          "2024-01-01 10", "2024-01-01 10:00:5", "2024-01-01 10:00:00 XM", "2024-001-01", "1/1/2024 9:5:00 AM"})
    EXPECT_FALSE(ParseDateTime(bad).has_value()) << '"' << bad << '"';
  EXPECT_EQ(FormatDateTime(ToDateTime("3/1/2024")), "2024-03-01 00:00:00");
  // A day past what the calendar's fields hold is no day, not one modulo 256;
  // fields far outside their ranges are written as they are.
  EXPECT_FALSE(IsValidDate(2024, 1, 257));
  EXPECT_EQ(FormatDateTime(DateTime{12026, 7, 123, -1, 5, 0}), "12026-07-123 -1:05:00");
  EXPECT_EQ(ErrorOf([] { ToDateTime("31/12/2024"); }), rt::TypeMismatch);
}

// A step's count, its total where known and its rate, as a terminal shows them.
TEST(ProgressTextTest, CountsOfAStep) {
  const struct {
    const char* what;
    int64_t done, total;
    double seconds;
    const char* line;
  } rows[] = {
      {"qzmap120", 1200, 5000, 0.2, "qzmap120: 1200 of 5000 (24 %)"},
      {"qzmap120", 4999, 5000, 3.0, "qzmap120: 4999 of 5000 (99 %), 1666/s"},
      {"qzmap120", 5000, 5000, 2.0, "qzmap120: 5000 of 5000 (100 %), 2500/s"},
      {"qzddi150", 5200, 5000, 0.4, "qzddi150: 5200 of 5000 (100 %)"},
      {"profiles", 1, 3, 0.6, "profiles: 1 of 3 (33 %), 2/s"},
      {"qzmap150", 0, 12, 0.0, "qzmap150: 0 of 12 (0 %)"},
      {"mapping objects", 37, 0, 0.5, "mapping objects: 37"},
      {"Reading the pack's files", 3000000000, 3000000001, 10.0,
       "Reading the pack's files: 3000000000 of 3000000001 (99 %), 300000000/s"},
  };
  for (const auto& row : rows) EXPECT_EQ(ProgressText(row.what, row.done, row.total, row.seconds), row.line);
}

// The machine's clock gives today's date: month and day as the C library has them.
TEST(DateTimeTest, TheRealClockReadsToday) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  const DateTime d = Env::Default().Now();
  if (d.Day != local.tm_mday) GTEST_SKIP() << "midnight passed between the two readings";
  EXPECT_EQ(d.Year, local.tm_year + 1900);
  EXPECT_EQ(d.Month, local.tm_mon + 1);
  EXPECT_TRUE(ParseDateTime(FormatDateTime(d)).has_value());
}

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
