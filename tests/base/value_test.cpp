// The platform conversions of a column value: to text and to integer, with
// the run time's numbers for values that have no such form.
#include "base/value.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/error.h"

namespace kestrel {
namespace {

int ErrorOf(const Value& v) {
  try {
    v.Integer();
  } catch (const ComError& e) {
    return e.number();
  }
  return 0;
}

TEST(ValueTest, TextOfEachKind) {
  EXPECT_EQ(Value(int64_t{-42}).Text(), "-42");
  EXPECT_EQ(Value(3.0).Text(), "3");
  EXPECT_EQ(Value(0.1).Text(), "0.1");
  EXPECT_EQ(Value(std::string("  kept \x01\xff", 9)).Text(), std::string("  kept \x01\xff", 9));
  EXPECT_EQ(Value(std::optional<std::string>()).TextOrEmpty(), "");
  EXPECT_TRUE(Value(std::optional<std::string>()).IsNull());
  try {
    Value().Text();
    FAIL() << "NULL has no text";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 94);
    EXPECT_EQ(e.description(), "Invalid use of Null");
  }
}

TEST(ValueTest, IntegerOfNumbersAndNumericTexts) {
  EXPECT_EQ(Value(" 175 ").Integer(), 175);
  EXPECT_EQ(Value("+12").Integer(), 12);
  EXPECT_EQ(Value("-32768").Integer(), -32768);
  EXPECT_EQ(Value("2.5").Integer(), 2);   // to even
  EXPECT_EQ(Value("3.5").Integer(), 4);
  EXPECT_EQ(Value(7.0).Integer(), 7);
  EXPECT_EQ(Value("1e3").Integer(), 1000);
  EXPECT_EQ(ErrorOf(Value("12a")), 13);
  EXPECT_EQ(ErrorOf(Value("")), 13);
  EXPECT_EQ(ErrorOf(Value("inf")), 13);
  EXPECT_EQ(ErrorOf(Value("0x10")), 13);
  EXPECT_EQ(ErrorOf(Value("99999999999999999999")), 6);
  EXPECT_EQ(ErrorOf(Value("1e300")), 6);
  EXPECT_EQ(ErrorOf(Value()), 94);
}

TEST(ValueTest, TextToFillTurnsAnyValueIntoTheTextWritten) {
  Value v(int64_t{5});
  v.TextToFill() = "a text longer than a short string";
  EXPECT_EQ(v, Value("a text longer than a short string"));
  // Refilling starts from an empty text, whatever was there.
  v.TextToFill() += "x";
  EXPECT_EQ(v, Value("x"));
  Value null;
  null.TextToFill();
  EXPECT_EQ(null, Value(""));
  EXPECT_FALSE(null.IsNull());
  // The text form of Integer without a Value around it.
  EXPECT_EQ(IntegerOfText(" 2.5 "), 2);
  EXPECT_EQ(IntegerOfText("-7"), -7);
  EXPECT_EQ(ErrorOf(Value("  ")), 13);
}

}  // namespace
}  // namespace kestrel
