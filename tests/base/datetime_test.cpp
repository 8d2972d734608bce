// Date and time texts: the one written form, the forms readers accept, and
// the replaceable clock.
#include "base/datetime.h"

#include <gtest/gtest.h>

#include <string>

#include "kestrel/env.h"
#include "base/error.h"
#include "support/fault_env.h"

namespace kestrel {
namespace {

TEST(DateTimeTest, WritesOneFormOnBothSides) {
  DateTime d{2026, 12, 4, 9, 39, 15};
  EXPECT_EQ(FormatDateTime(d), "2026-12-04 09:39:15");
  EXPECT_EQ(FormatDate(d), "2026-12-04");
  EXPECT_EQ(FormatTime(d), "09:39:15");
  EXPECT_EQ(FormatCompact(d), "041226093915");
  EXPECT_EQ(FormatCompact(DateTime{2000, 1, 31, 23, 5, 0}), "310100230500");
}

TEST(DateTimeTest, WrittenOverAStringAndOutsideTheUsualRanges) {
  std::string out = "a longer text that was there before";
  FormatDateTimeInto(out, DateTime{1, 2, 3, 4, 5, 6});
  EXPECT_EQ(out, "0001-02-03 04:05:06");
  FormatDateTimeInto(out, DateTime{9999, 12, 31, 23, 59, 59});
  EXPECT_EQ(out, "9999-12-31 23:59:59");
  // Fields no date of ours has are written as printf writes them.
  EXPECT_EQ(FormatDateTime(DateTime{12345, 1, 2, 3, 4, 5}), "12345-01-02 03:04:05");
  EXPECT_EQ(FormatDateTime(DateTime{-7, 1, 2, 3, 4, 5}), "-007-01-02 03:04:05");
  EXPECT_EQ(FormatDateTime(DateTime{2024, 1, 2, 100, 4, 5}), "2024-01-02 100:04:05");
}

TEST(DateTimeTest, ReadsTheCanonicalAndTheUsForm) {
  const DateTime morning{2026, 12, 4, 9, 39, 15};
  EXPECT_EQ(ParseDateTime("2026-12-04 09:39:15"), morning);
  EXPECT_EQ(ParseDateTime("12/4/2026 9:39:15 AM"), morning);
  EXPECT_EQ(ParseDateTime("12/04/2026 09:39:15 am"), morning);
  EXPECT_EQ(ParseDateTime("12/4/2026 9:39:15 PM"), (DateTime{2026, 12, 4, 21, 39, 15}));
  // Midnight and noon in the 12-hour clock.
  EXPECT_EQ(ParseDateTime("1/2/2003 12:00:01 AM"), (DateTime{2003, 1, 2, 0, 0, 1}));
  EXPECT_EQ(ParseDateTime("1/2/2003 12:30:00 PM"), (DateTime{2003, 1, 2, 12, 30, 0}));
  // Without AM/PM the US form counts 0-23; seconds may be left out.
  EXPECT_EQ(ParseDateTime("7/14/1999 17:05"), (DateTime{1999, 7, 14, 17, 5, 0}));
  EXPECT_EQ(ParseDateTime("  2026-12-04 09:39:15  "), morning);
}

TEST(DateTimeTest, ADateAloneIsMidnight) {
  EXPECT_EQ(ParseDateTime("2024-02-29"), (DateTime{2024, 2, 29, 0, 0, 0}));
  EXPECT_EQ(ParseDateTime("2/29/2024"), (DateTime{2024, 2, 29, 0, 0, 0}));
  EXPECT_EQ(FormatDateTime(ToDateTime("3/1/2024")), "2024-03-01 00:00:00");
}

TEST(DateTimeTest, RejectsWhatIsNoDate) {
  for (const char* bad : {"", "   ", "2023-02-29", "2024-13-01", "2024-04-31", "13/1/2024", "1/32/2024",
                          "2024-01-01 24:00:00", "2024-01-01 10:60:00", "2024-01-01 10:00:60",
                          "1/1/2024 13:00:00 PM", "1/1/24", "20240101", "2024-01-01T10:00:00",
                          "2024-01-01 10", "2024-01-01 10:00:00 XM", "2024-001-01", "yesterday",
                          "1/1/2024 9:5:00 AM"}) {
    EXPECT_FALSE(ParseDateTime(bad).has_value()) << '"' << bad << '"';
  }
  try {
    ToDateTime("31/12/2024");
    FAIL() << "a day-first date was read";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), rt::TypeMismatch);
    EXPECT_EQ(e.description(), "Type mismatch");
  }
}

TEST(DateTimeTest, WrittenTextsReadBack) {
  for (const DateTime& d : {DateTime{1, 1, 1, 0, 0, 0}, DateTime{1999, 12, 31, 23, 59, 59},
                            DateTime{2100, 2, 28, 12, 0, 0}, DateTime{9999, 12, 31, 0, 0, 1}})
    EXPECT_EQ(ParseDateTime(FormatDateTime(d)), d) << FormatDateTime(d);
}

TEST(DateTimeTest, TheClockCanBeFixed) {
  kestrel::testing::FaultEnv env;
  env.FixTime(DateTime{2026, 12, 4, 9, 39, 15});
  const DateTime now = env.Now();
  EXPECT_EQ(FormatDateTime(now), "2026-12-04 09:39:15");
  EXPECT_EQ(FormatDate(now), "2026-12-04");
  EXPECT_EQ(FormatTime(now), "09:39:15");
  EXPECT_EQ(FormatCompact(now), "041226093915");
  // The machine's clock: a real, readable present.
  auto present = ParseDateTime(FormatDateTime(Env::Default().Now()));
  ASSERT_TRUE(present.has_value());
  EXPECT_GE(present->Year, 2024);
}

}  // namespace
}  // namespace kestrel
