// Finding a layout by file or table name: without regard to case, as packs
// written by other hands name their files; and the names the writers give.
#include <gtest/gtest.h>

#include "pack/layout.h"
#include "pack/naming.h"

namespace kestrel::pack {
namespace {

TEST(LayoutTest, FilesAreFoundWithoutRegardToCaseAndNamedInTheirOwn) {
  EXPECT_EQ(RuleFileName(kQzmap170, false), "qzmap170.dat");
  EXPECT_EQ(RuleFileName(kQzmap175, true), "Qzmap175.dat");
  EXPECT_EQ(TaggedLayoutOfFile("QZMAP175.DAT"), &kQzmap175);
  EXPECT_EQ(TaggedLayoutOfFile("Qzmap100.dat"), nullptr);
  EXPECT_EQ(RowLayoutOfFile("qzmap100.dat"), &kQzmap100Rows);
  EXPECT_EQ(FindTaggedLayout("qzlib105"), &kQzlib105);
  EXPECT_EQ(FindRowLayout("qzlgy115"), &kQzlgy115Rows);
}

}  // namespace
}  // namespace kestrel::pack
