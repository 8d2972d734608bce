// Profile lists read back into numbers.
#include <gtest/gtest.h>

#include "base/error.h"
#include "exporter/profile_list.h"

namespace kestrel::exporter {
namespace {

int32_t FailureOf(std::string_view list) {
  try {
    ProfileNumbers(list);
  } catch (const ComError& e) {
    return e.number();
  }
  return 0;
}

TEST(ProfileListTest, ReadsTheNumbersInTheirOrder) {
  EXPECT_EQ(ProfileNumbers("40 31 12"), (std::vector<int64_t>{40, 31, 12}));
  EXPECT_EQ(ProfileNumbers("7"), (std::vector<int64_t>{7}));
  EXPECT_EQ(ProfileNumber("32767"), 32767);
}

TEST(ProfileListTest, RefusesWhatNoStatementCouldCarry) {
  for (std::string_view bad : {"", "40  31", "40 ", " 40", "40,31", "4x", "12; drop table qzmap100"})
    EXPECT_EQ(FailureOf(bad), rt::TypeMismatch) << bad;
}

}  // namespace
}  // namespace kestrel::exporter
