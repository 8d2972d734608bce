// The manifest's spooled text: in memory up to its threshold, in a spool file
// past it, the same text read whole either way; the spool never outlives the
// text, and a spill that fails takes nothing from it.
#include "base/spooled_text.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "base/files.h"
#include "support/error_of.h"
#include "support/fault_env.h"
#include "support/temp_folder.h"

namespace kestrel {
namespace {

using kestrel::testing::ReadFile;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

const std::string kLines[] = {"Exporting Migration Profile 30 Started at 2026-12-06   06:18:52\r\n",
                              "\tExporting Mapping Object ARINVC020 Started : 2026-12-06   06:18:52\r\n",
                              "\tNo Revisions Present\r\n", "\tNo Conversion Rules Present",
                              "\tExporting Mapping Object ARINVC020 Completed : 2026-12-06   06:18:53\r\n"};

class SpooledTextTest : public ::testing::Test {
 protected:
  std::string AppendAll(SpooledText& t) {
    std::string all;
    for (const auto& line : kLines) {
      t += line;
      all += line;
    }
    return all;
  }
  std::string Written(SpooledText& t, const std::string& front) {
    auto out = files::TextWriter::Create(Env::Default(), dir_ / "ExportMR.log");
    t.WriteWithFront(front, *out);
    return ReadFile(dir_ / "ExportMR.log");
  }
  bool Spool() const { return files::FileExists(Env::Default(), dir_ / "m.spool"); }

  TempFolder dir_;
};

TEST_F(SpooledTextTest, InMemoryOrSpooledTheTextIsTheSame) {
  // Without a spool named, no threshold moves the text.
  const std::pair<size_t, bool> rows[] = {{1000, true}, {1, true}, {150, true}, {1, false}};
  for (const auto& [threshold, named] : rows) {
    SCOPED_TRACE(std::to_string(threshold) + (named ? " spool named" : " no spool named"));
    SpooledText t(Env::Default());
    if (named) t.SpoolTo(dir_ / "m.spool");
    t.SetThreshold(threshold);
    const std::string all = AppendAll(t);
    const bool spills = named && threshold < all.size();
    EXPECT_EQ(t.spooled(), spills);
    EXPECT_EQ(Spool(), spills);
    EXPECT_EQ(t.str(), all);
    EXPECT_EQ(Written(t, "SUCCESS\r\n"), "SUCCESS\r\n" + all);
    EXPECT_FALSE(Spool()) << "the spool goes once the manifest is written";
    EXPECT_EQ(t.str(), "SUCCESS\r\n" + all);
  }
}

TEST_F(SpooledTextTest, NoSpoolOutlivesItsText) {
  for (int ending = 0; ending < 3; ++ending) {
    SCOPED_TRACE(ending);
    auto t = std::make_unique<SpooledText>(Env::Default());
    t->SpoolTo(dir_ / "m.spool");
    t->SetThreshold(1);
    const std::string all = AppendAll(*t);
    ASSERT_TRUE(Spool());
    if (ending == 0) {  // an export that ends early: the text comes back into memory
      t->Unspool();
      EXPECT_FALSE(t->spooled());
      *t += "after";
      EXPECT_EQ(t->str(), all + "after");
    } else if (ending == 1) {
      t->clear();
      EXPECT_TRUE(t->empty());
    } else {
      t.reset();
    }
    EXPECT_FALSE(Spool());
  }
  SpooledText t(Env::Default());
  t.SpoolTo(dir_ / "no-such-folder/d.spool");
  t.SetThreshold(1);
  EXPECT_THROW(t += "x", ComError);
}

TEST_F(SpooledTextTest, AFailedSpillLeavesTheTextWhole) {
  for (size_t fail_at : {size_t{1}, size_t{0}}) {  // the spool's first write; a full disk
    SCOPED_TRACE(fail_at);
    kestrel::testing::FaultEnv env;
    fail_at ? env.FailWrite(fail_at) : env.FillDiskAfter(0);
    SpooledText t(env);
    t.SpoolTo(dir_ / "m.spool");
    t.SetThreshold(100);
    std::string appended;
    EXPECT_EQ(kestrel::testing::ErrorOf([&] {
                for (const auto& line : kLines) { appended += line; t += line; }
              }),
              fail_at ? EIO : ENOSPC);
    t.Unspool();
    EXPECT_FALSE(Spool());
    EXPECT_EQ(t.str(), appended);
  }
}

}  // namespace
}  // namespace kestrel
