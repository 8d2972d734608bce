// The trap formatter and the errno mapping.
#include <gtest/gtest.h>

#include <cerrno>

#include "component/error.h"
#include "component/errors_ours.h"

namespace Kestrel20ImpExp {
namespace {

TEST(ErrorTest, TrapTextsKeepTheirFixedForms) {
  ComError e(53, "File not found");
  EXPECT_EQ(TrapText(ExportTrapHead("ExportSingleProfile"), e),
            "UnSpecified Error: --ExportSingleProfile-- 53   File not found");
  EXPECT_EQ(TrapText(ImportTrapHead("InsertInMap101"), e),
            "Unspecified Error : --InsertInMap101-- 53   File not found");
  // The writers' tags join the number directly.
  EXPECT_EQ(TrapText("UnSpecified Error: --Qzmap120--", e), "UnSpecified Error: --Qzmap120--53   File not found");
  ErrorState st;
  st.Trap(999, "UnSpecified Error: --Qzmap110--", ComError(94, "Invalid use of Null"));
  EXPECT_EQ(st.ErrorNumber, 999);
  EXPECT_EQ(st.ErrorDescription, "UnSpecified Error: --Qzmap110--94   Invalid use of Null");
}

TEST(ErrorTest, ErrnoMapsToRunTimeNumbers) {
  auto number_of = [](int err, bool folder) {
    try {
      RaiseErrno(err, "/x/y", folder);
    } catch (const ComError& e) {
      return e.number();
    }
    return 0;
  };
  EXPECT_EQ(number_of(ENOENT, false), 53);
  EXPECT_EQ(number_of(ENOENT, true), 76);
  EXPECT_EQ(number_of(EACCES, false), 70);
  EXPECT_EQ(number_of(ENOSPC, false), ENOSPC);
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

}  // namespace
}  // namespace Kestrel20ImpExp
