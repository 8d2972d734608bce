// The layout tables against the rules every tagged file follows: tags are the
// column in upper case between colons, blocks open with ":X:START" (":TEXT:"
// for txtn) and close with ":X:END", and each column appears once.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "base/text.h"
#include "pack/layout.h"
#include "pack/naming.h"

namespace kestrel::pack {
namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

TEST(LayoutTest, TagsAndBlockLinesFollowTheirColumns) {
  for (const auto* layout : kTaggedLayouts) {
    SCOPED_TRACE(std::string(layout->file));
    std::set<std::string_view> columns;
    for (const auto& f : layout->fields) {
      EXPECT_TRUE(columns.insert(f.column).second) << "column twice: " << f.column;
      std::string letters = Upper(f.column);
      switch (f.kind) {
        case FieldKind::Tag:
        case FieldKind::Fixed:
          EXPECT_EQ(f.tag, ":" + letters + ":");
          EXPECT_TRUE(f.tag.size() == 6 || f.tag.size() == 7) << f.tag;
          break;
        case FieldKind::Block:
          if (f.column == "txtn") {
            EXPECT_EQ(f.tag, ":TEXT:");
            EXPECT_EQ(f.end, ":TEXT:END");
          } else {
            EXPECT_EQ(f.tag, ":" + letters + ":START");
            EXPECT_EQ(f.end, ":" + letters + ":END");
          }
          break;
        case FieldKind::Bare:
          EXPECT_EQ(f.column, "isms");
          break;
      }
      if (!f.continued_until.empty()) {
        // The tag that ends a continued value is the next field's.
        int at = layout->IndexOf(f.column);
        ASSERT_LT(static_cast<size_t>(at + 1), layout->fields.size());
        EXPECT_EQ(layout->fields[static_cast<size_t>(at) + 1].tag, f.continued_until);
      }
    }
    EXPECT_EQ(layout->table.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string_view::npos);
    EXPECT_TRUE(text::EqualNoCase(layout->file, std::string(layout->table) + ".dat"));
    EXPECT_TRUE(text::EqualNoCase(layout->single_profile_file, layout->file));
  }
}

TEST(LayoutTest, FilesAreFoundWithoutRegardToCaseAndNamedInTheirOwn) {
  EXPECT_EQ(RuleFileName(kQzmap170, false), "qzmap170.dat");
  EXPECT_EQ(RuleFileName(kQzmap175, true), "Qzmap175.dat");
  EXPECT_EQ(TaggedLayoutOfFile("QZMAP175.DAT"), &kQzmap175);
  EXPECT_EQ(TaggedLayoutOfFile("Qzmap100.dat"), nullptr);
  EXPECT_EQ(RowLayoutOfFile("qzmap100.dat"), &kQzmap100Rows);
}

}  // namespace
}  // namespace kestrel::pack
