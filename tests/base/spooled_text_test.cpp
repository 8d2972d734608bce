// The manifest's spooled text: in memory up to its threshold, in a spool file
// past it, the same text read whole either way; the spool never outlives the
// export that made it.
#include "base/spooled_text.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/error.h"
#include "base/files.h"
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
  // Appends every line and returns what was appended.
  std::string AppendAll(SpooledText& t) {
    std::string all;
    for (const auto& line : kLines) {
      t += line;
      all += line;
    }
    return all;
  }
  std::string Written(SpooledText& t, const std::string& front, const std::string& name) {
    auto out = files::TextWriter::Create(Env::Default(), dir_ / name);
    t.WriteWithFront(front, *out);
    return ReadFile(dir_ / name);
  }

  TempFolder dir_;
};

TEST_F(SpooledTextTest, StaysInMemoryUntilItPassesTheThreshold) {
  SpooledText t(Env::Default());
  t.SpoolTo(dir_ / "m.spool");
  t.SetThreshold(1000);
  const std::string all = AppendAll(t);
  EXPECT_FALSE(t.spooled());
  EXPECT_FALSE(files::FileExists(Env::Default(), dir_ / "m.spool"));
  EXPECT_EQ(t, all);
  EXPECT_EQ(Written(t, "SUCCESS\r\n", "ExportMR.log"), "SUCCESS\r\n" + all);
  // As before: the text now starts with what was put in front.
  EXPECT_EQ(t.str(), "SUCCESS\r\n" + all);

  // Without a spool named, no threshold moves the text.
  SpooledText plain(Env::Default());
  plain.SetThreshold(1);
  const std::string appended = AppendAll(plain);
  EXPECT_EQ(plain.str(), appended);
  EXPECT_FALSE(plain.spooled());
}

TEST_F(SpooledTextTest, PastTheThresholdTheSameTextWaitsInTheSpool) {
  for (size_t threshold : {size_t{1}, size_t{70}, size_t{150}}) {
    SCOPED_TRACE(threshold);
    SpooledText t(Env::Default());
    t.SpoolTo(dir_ / "m.spool");
    t.SetThreshold(threshold);
    const std::string all = AppendAll(t);
    ASSERT_TRUE(t.spooled());
    EXPECT_TRUE(files::FileExists(Env::Default(), dir_ / "m.spool"));
    EXPECT_FALSE(t.empty());
    EXPECT_EQ(t.str(), all);
    EXPECT_EQ(Written(t, "ERRORS\r\n", "ExportMR.log"), "ERRORS\r\n" + all);
    EXPECT_FALSE(files::FileExists(Env::Default(), dir_ / "m.spool")) << "the spool goes once the manifest is written";
    EXPECT_EQ(t.str(), "ERRORS\r\n" + all);
  }
}

TEST_F(SpooledTextTest, AWrittenTextIsCarriedIntoTheNextSpoolBeforeItsFileIsReplaced) {
  SpooledText t(Env::Default());
  t.SpoolTo(dir_ / "m.spool");
  t.SetThreshold(1);
  const std::string first = "SUCCESS\r\n" + AppendAll(t);
  ASSERT_EQ(Written(t, "SUCCESS\r\n", "ExportMR.log"), first);
  t += "next\r\n";
  // The next export writes into the same folder: its manifest replaces the first.
  t.SpoolTo(dir_ / "m.spool");
  WriteFile(dir_ / "ExportMR.log", "");
  t += "more";
  EXPECT_EQ(t.str(), first + "next\r\nmore");
  EXPECT_EQ(Written(t, "SUCCESS\r\n", "ExportMR.log"), "SUCCESS\r\n" + first + "next\r\nmore");
  EXPECT_FALSE(files::FileExists(Env::Default(), dir_ / "m.spool"));
}

TEST_F(SpooledTextTest, NoSpoolOutlivesItsText) {
  {
    // An export that ends early: the text comes back into memory.
    SpooledText t(Env::Default());
    t.SpoolTo(dir_ / "a.spool");
    t.SetThreshold(1);
    const std::string all = AppendAll(t);
    t.Unspool();
    EXPECT_FALSE(t.spooled());
    EXPECT_FALSE(files::FileExists(Env::Default(), dir_ / "a.spool"));
    EXPECT_EQ(t.str(), all);
    t += "after";  // no spool named any more
    EXPECT_FALSE(files::FileExists(Env::Default(), dir_ / "a.spool"));
    EXPECT_EQ(t.str(), all + "after");
  }
  {
    SpooledText t(Env::Default());
    t.SpoolTo(dir_ / "b.spool");
    t.SetThreshold(1);
    AppendAll(t);
    t.clear();
    EXPECT_TRUE(t.empty());
    EXPECT_EQ(t, "");
    EXPECT_FALSE(files::FileExists(Env::Default(), dir_ / "b.spool"));
  }
  {
    SpooledText t(Env::Default());
    t.SpoolTo(dir_ / "c.spool");
    t.SetThreshold(1);
    AppendAll(t);
    ASSERT_TRUE(files::FileExists(Env::Default(), dir_ / "c.spool"));
  }
  EXPECT_FALSE(files::FileExists(Env::Default(), dir_ / "c.spool"));
  // A spool that cannot be made fails the append that needed it.
  SpooledText t(Env::Default());
  t.SpoolTo(dir_ / "no-such-folder/d.spool");
  t.SetThreshold(1);
  EXPECT_THROW(t += "x", ComError);
}

TEST_F(SpooledTextTest, PrintsAsItsText) {
  SpooledText t(Env::Default());
  t.SpoolTo(dir_ / "p.spool");
  t.SetThreshold(3);
  t += "abc";
  t += "de";
  std::ostringstream os;
  PrintTo(t, &os);
  EXPECT_EQ(os.str(), "\"abcde\"");
}

// A spill that fails takes nothing from the text: once brought back, it is
// whole in memory and no spool is left in the pack folder.
TEST_F(SpooledTextTest, AFailedSpillLeavesTheTextWhole) {
  struct Row {
    const char* fault;
    size_t fail_at;  // 0: the disk is full instead
    int32_t number;
  };
  const Row rows[] = {{"the spool's first write", 1, EIO}, {"a full disk", 0, ENOSPC}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    kestrel::testing::FaultEnv env;
    if (row.fail_at)
      env.FailWrite(row.fail_at);
    else
      env.FillDiskAfter(0);
    SpooledText t(env);
    t.SpoolTo(dir_ / "m.spool");
    t.SetThreshold(100);
    std::string appended;
    int32_t number = 0;
    try {
      for (const auto& line : kLines) {
        appended += line;
        t += line;
      }
    } catch (const ComError& e) {
      number = e.number();
    }
    EXPECT_EQ(number, row.number);
    t.Unspool();
    EXPECT_FALSE(t.spooled());
    EXPECT_FALSE(files::FileExists(Env::Default(), dir_ / "m.spool"));
    EXPECT_EQ(t.str(), appended);
  }
}

}  // namespace
}  // namespace kestrel
