// The chain export: a profile with the profiles it is based on, each under
// its own number, through the export driver.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "base/errors_ours.h"
#include "base/files.h"
#include "exporter/export_store.h"
#include "pack/layout.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

using ::testing::ElementsAre;

const TestObject kCust{"AR", "CUST", "010"};
const TestObject kInvc{"AR", "INVC", "020"};

// Root 5 (BAS to EXT), child 7 (BAS to EX2), grandchild 9 (BAS to EXT).
const TestProfile kRoot{5, "BAS", "EXT", {"X40", "c", "ab1"}, std::nullopt, "Y"};
const TestProfile kChild{7, "BAS", "EX2", {"X41U", "c", "ab1"}, TestVrc{"X40", "c", "ab1"}, "Y"};
const TestProfile kGrandchild{9, "BAS", "EXT", {"X42U", "c", "ab1"}, TestVrc{"X41U", "c", "ab1"}, "Y"};

// The development VRC as the import writes it: "d" in place of the first
// character of vers and cust.
TestVrc DevelopmentVrcOf(const TestProfile& p) {
  return {"d" + p.vrc.vers.substr(1), p.vrc.rele, "d" + p.vrc.cust.substr(1)};
}

class ChainExport : public ::testing::Test {
 protected:
  void SetUp() override {
    store.AddApplication("BAS", 0);
    store.AddApplication("EXT", 1);
    store.AddApplication("EX2", 1);
    store.AddObject("EXT", 1, kCust);
    store.AddObject("EX2", 1, kInvc);
    store.AddProfile(kRoot);
    store.AddProfile(kChild, {&kRoot});
    store.AddProfile(kGrandchild, {&kChild, &kRoot});
    for (const auto* p : {&kRoot, &kChild, &kGrandchild}) store.AddDevelopmentVrc(*p, DevelopmentVrcOf(*p));
    store.AddRule120(5, kRoot.vrc, kCust, "root CUST");
    store.AddRule120(7, kChild.vrc, kCust, "child CUST");
    store.AddRule120(9, kGrandchild.vrc, kInvc, "grandchild INVC");
    store.AddRule120(9, DevelopmentVrcOf(kGrandchild), kInvc, "grandchild INVC in development");
    store.AddOtherRules(7, kChild.vrc, kInvc, "child other");
    store.AddRevisions(5, kRoot.vrc, kCust, "root revision");
  }
  std::string Pack(int mprf) const {
    return store.root() + "/ExportedRules/" + std::to_string(mprf) + "-BAS-" + (mprf == 7 ? "EX2" : "EXT") + "-M";
  }
  std::vector<std::string> Section(int mprf, const std::string& begin, const std::string& end) const {
    auto lines = LinesOf(Pack(mprf) + "/ExportMR.log");
    auto b = std::find(lines.begin(), lines.end(), begin), e = std::find(lines.begin(), lines.end(), end);
    if (b == lines.end() || e == lines.end()) return {};
    return {b + 1, e};
  }
  ExportStore store;
};

TEST_F(ChainExport, AGrandchildTravelsWithItsTwoAncestors) {
  auto e = NewExport(store, 9, false);
  e->put_NewProfileNumber(44);
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  EXPECT_EQ(e->PackFolder(), Pack(9));
  // The exported profile first, then its ancestors upwards, owners deciphered.
  auto headers = LinesOf(Pack(9) + "/Qzmap100.dat");
  ASSERT_EQ(headers.size(), 3u);
  EXPECT_EQ(headers[0].rfind("9\1BAS\1EXT\1X42U\1c\1ab1\1X41U\1c\1ab1\1Profile 9\1Y\0013\1jmartin\1", 0), 0u);
  EXPECT_EQ(headers[1].rfind("7\1BAS\1EX2\1X41U\1", 0), 0u);
  EXPECT_EQ(headers[2].rfind("5\1BAS\1EXT\1X40\1c\1ab1\1\1\1\1Profile 5\1Y\0011\1jmartin\1", 0), 0u);
  // Every application once, in order of first appearance.
  EXPECT_THAT(Section(9, "--APPLS--", "--ENDAPPLS--"), ElementsAre("BAS", "EXT", "EX2"));
  auto lines = LinesOf(Pack(9) + "/ExportMR.log");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ExportToNewProfile=0"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ExportRevisions=0"), lines.end());

  auto rules = RecordsOf(Pack(9), pack::kQzmap120);
  EXPECT_THAT(ColumnOf(rules, "prtx"), ElementsAre("child CUST", "grandchild INVC", "root CUST"));
  EXPECT_THAT(ColumnOf(rules, "mprf"), ElementsAre("5", "7", "9"));
  EXPECT_EQ(RecordsOf(Pack(9), pack::kQzmap130).size(), 1u);
  EXPECT_EQ(LinesOf(Pack(9) + "/Qzmap101.dat").size(), 6u) << "1 + 2 + 3 chain rows";
  EXPECT_FALSE(files::FileExists(Env::Default(), Pack(9) + "/Qzmap110.dat"));
}

TEST_F(ChainExport, ProgressFollowsTheChainOrderWithQzddi230AfterTheBaseTables) {
  auto e = NewExport(store, 9, false);
  e->put_ExportRevisionInformation(true);
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  const std::vector<std::string> expected = {
      "Exporting Qzmap100 started: <time>", "Exporting Qzmap100 Completed: <time>",
      "Exporting Qzddi100 Started : <time>", "Exporting Qzddi220 Ended   : <time>",
      "Exporting Qzlgy140 and Qzlgy141 Started : <time>", "Exporting Qzlgy150 Ended   : <time>",
      "Exporting Qzddi230 Started : <time>", "Exporting Qzddi230 Ended   : <time>",
      "Exporting Qzmap101 Started : <time>", "Exporting Qzmap101 Ended   : <time>",
      "Exporting Qzmap120 Started : <time>", "Exporting Qzmap170 Ended   : <time>",
      "Exporting Functions Started : <time>", "Exporting Functions Completed : <time>",
      "Exporting codes Started : <time>", "Exporting codes Completed : <time>",
      "Exporting includes completed", "Exporting includes completed",
      "Exporting Qzmap105 Started : <time>", "Exporting Qzmap110 Started : <time>",
      "Exporting Qzmap175 Started : <time>", "Exporting Qzmap175 Ended   : <time>"};
  auto progress = ProgressTexts(Pack(9));
  auto at = progress.begin();
  for (const auto& line : expected) {
    at = std::find(at, progress.end(), line);
    ASSERT_NE(at, progress.end()) << "missing or out of order: " << line;
    ++at;
  }
  // The revision files of all three profiles, and the manifest lists exactly the files present.
  EXPECT_EQ(LinesOf(Pack(9) + "/Qzmap105.dat").size(), 3u);
  EXPECT_THAT(ColumnOf(RecordsOf(Pack(9), pack::kQzmap110), "mprf"), ElementsAre("5"));
  auto listed = ListedFiles(Pack(9));
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, FilesIn(Pack(9)));
  for (auto name : {"qzmap170.dat", "qzmap175.dat", "Qzmap105.dat", "Qzlib105.dat"})
    EXPECT_NE(std::find(listed.begin(), listed.end(), name), listed.end()) << name;
}

TEST_F(ChainExport, ARootProfileTravelsAlone) {
  auto e = NewExport(store, 5, false);
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  EXPECT_EQ(LinesOf(Pack(5) + "/Qzmap100.dat").size(), 1u);
  EXPECT_THAT(LinesOf(Pack(5) + "/Qzmap101.dat"), ElementsAre("5\0011\1X40\1c\1ab1\0015"));
  EXPECT_THAT(Section(5, "--APPLS--", "--ENDAPPLS--"), ElementsAre("BAS", "EXT"));
  EXPECT_THAT(ColumnOf(RecordsOf(Pack(5), pack::kQzmap120), "prtx"), ElementsAre("root CUST"));
}

TEST_F(ChainExport, BasedOnTheParentsNumberLeavesTheAncestorsOut) {
  auto e = NewExport(store, 9, false);
  e->put_ExportBasedOn(Kestrel20ImpExp::Variant(7));
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  EXPECT_EQ(LinesOf(Pack(9) + "/Qzmap100.dat").size(), 1u);
  EXPECT_THAT(ColumnOf(RecordsOf(Pack(9), pack::kQzmap120), "prtx"), ElementsAre("grandchild INVC"));

  // A number between the parent's and the root's keeps the parent only.
  auto between = NewExport(store, 9, false);
  between->put_ExportBasedOn(Kestrel20ImpExp::Variant("6"));
  between->put_OverWrite(true);
  ASSERT_TRUE(between->ExportMigrationProfiles()) << between->get_ErrorDescription();
  EXPECT_EQ(LinesOf(Pack(9) + "/Qzmap100.dat").size(), 2u);
  // A text that is no number stops nothing.
  auto text = NewExport(store, 9, false);
  text->put_ExportBasedOn(Kestrel20ImpExp::Variant("none"));
  text->put_OverWrite(true);
  ASSERT_TRUE(text->ExportMigrationProfiles()) << text->get_ErrorDescription();
  EXPECT_EQ(LinesOf(Pack(9) + "/Qzmap100.dat").size(), 3u);
}

TEST_F(ChainExport, RevisionsWithoutDevelopmentVrcsFailWith105) {
  store.Exec("delete from qzmap105");
  auto e = NewExport(store, 9, false);
  e->put_ExportRevisionInformation(true);
  EXPECT_FALSE(e->ExportMigrationProfiles());
  EXPECT_EQ(e->get_ErrorNumber(), 105);
  EXPECT_EQ(e->get_ErrorDescription(), "Error : Qzmap105 - No Data Present in Qzmap105 Table");
  auto listed = ListedFiles(Pack(9));
  EXPECT_EQ(std::find(listed.begin(), listed.end(), "Qzmap105.dat"), listed.end());
  EXPECT_FALSE(files::FileExists(Env::Default(), Pack(9) + "/Qzmap105.dat"));
  EXPECT_EQ(LinesOf(Pack(9) + "/ExportMR.log").front(), "ERRORS");
}

TEST_F(ChainExport, ALoopOfBaseVrcsIsRefused) {
  TestProfile a{31, "BAS", "EXT", {"L1", "c", "ab1"}, TestVrc{"L2", "c", "ab1"}, "N"};
  TestProfile b{32, "BAS", "EXT", {"L2", "c", "ab1"}, TestVrc{"L1", "c", "ab1"}, "N"};
  store.AddProfile(a);
  store.AddProfile(b);
  auto e = NewExport(store, 31, false);
  EXPECT_FALSE(e->ExportMigrationProfiles());
  EXPECT_EQ(e->get_ErrorNumber(), Number(Ours::ChainTooLong));
  EXPECT_NE(e->get_ErrorDescription().find("profile 31 is reached twice"), std::string::npos)
      << e->get_ErrorDescription();
}

}  // namespace
}  // namespace kestrel::testing
