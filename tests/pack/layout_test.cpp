// The layout tables against the rules every tagged file follows: tags are the
// column in upper case between colons, blocks open with ":X:START" (":TEXT:"
// for txtn) and close with ":X:END", and each column appears once.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/text.h"
#include "pack/layout.h"
#include "pack/naming.h"

namespace kestrel::pack {
namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (auto& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
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

TEST(LayoutTest, OnlyTheNamedColumnsHaveSpecialWriting) {
  std::set<std::string> null_text, null_fails, conditional;
  for (const auto* layout : kTaggedLayouts)
    for (const auto& f : layout->fields) {
      std::string where = std::string(layout->table) + "." + std::string(f.column);
      if (!f.null_text.empty()) null_text.insert(where + "=" + std::string(f.null_text));
      if (f.null_fails) null_fails.insert(where);
      if (f.presence != Presence::Always) conditional.insert(where);
      if (f.kind == FieldKind::Fixed) {
        EXPECT_EQ(where + ":" + std::string(f.constant), "qzlib105.pexp:0");
      }
    }
  EXPECT_EQ(null_text, (std::set<std::string>{"qzmap120.isms=0", "qzmap125.isms=0"}));
  EXPECT_EQ(null_fails, (std::set<std::string>{"qzmap110.sdat", "qzmap150.func", "qzmap150.defn"}));
  EXPECT_EQ(conditional, (std::set<std::string>{"qzmap120.ldat", "qzmap120.logn", "qzmap120.lusr"}));
}

TEST(LayoutTest, FileNamesKeepTheirCase) {
  EXPECT_EQ(RuleFileName(kQzmap170, false), "qzmap170.dat");
  EXPECT_EQ(RuleFileName(kQzmap170, true), "Qzmap170.dat");
  EXPECT_EQ(RuleFileName(kQzmap175, false), "qzmap175.dat");
  EXPECT_EQ(RuleFileName(kQzmap175, true), "Qzmap175.dat");
  EXPECT_EQ(RuleFileName(kQzmap120, false), "Qzmap120.dat");
  EXPECT_EQ(TaggedLayoutOfFile("QZMAP175.DAT"), &kQzmap175);
  EXPECT_EQ(TaggedLayoutOfFile("Qzmap100.dat"), nullptr);
  EXPECT_EQ(RowLayoutOfFile("qzmap100.dat"), &kQzmap100Rows);
  EXPECT_EQ(FindTaggedLayout("qzlib105"), &kQzlib105);
  EXPECT_EQ(FindRowLayout("qzlgy115"), &kQzlgy115Rows);
}

TEST(LayoutTest, RowFilesAndApplicationTables) {
  EXPECT_EQ(kQzmap100Rows.columns.size(), 18u);
  EXPECT_EQ(kQzmap100Rows.columns[12], "ownr");
  EXPECT_EQ(kQzmap101Rows.columns.size(), 6u);
  EXPECT_EQ(kQzmap105Rows.columns.size(), 7u);
  EXPECT_EQ(kQzlgy115Rows.columns.size(), 4u);
  int every = 0, base = 0, extension = 0;
  for (const auto& t : kApplicationTables) {
    every += t.serves == Serves::Every;
    base += t.serves == Serves::Base;
    extension += t.serves == Serves::Extension;
  }
  EXPECT_EQ(every, 1);
  EXPECT_EQ(base, 4);
  EXPECT_EQ(extension, 6);
}

}  // namespace
}  // namespace kestrel::pack
