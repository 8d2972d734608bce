// ImportLogicPack up to the import plan: the checks it repeats, the manifest,
// the plan's members and log lines, GetDevelopmentVRC, and the "Unexpected
// Error." report.
#include <gmock/gmock.h>

#include "base/errors_ours.h"
#include "importer/entry_points.h"
#include "importer/import_driver.h"
#include "importer/import_unit.h"
#include "selection_fixture.h"

namespace kestrel::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Not;

class ImportDriverTest : public SelectionFixture {
 protected:
  // Pack: 5 on A, B derived from 3 on A, B; with revisions, Qzmap105.dat
  // holds the development VRC of both.
  void WritePack(bool revisions) {
    WriteRows("Qzmap100.dat", {Header(5, "A", "B"), Header(3, "A", "B")}, 18);
    WriteRows("Qzmap101.dat", {Chain(5, 1, 5), Chain(5, 2, 3), Chain(3, 1, 3)}, 6);
    if (revisions)
      WriteRows("Qzmap105.dat",
                {{"5", "X5", "c", "ab1", "d5", "c", "db1"}, {"3", "X3", "c", "ab1", "d3", "c", "db1"}}, 7);
    WriteApplication("A", 0);
    WriteApplication("B", 1);
    WriteGoodManifest({"Qzmap100.dat"}, {"A", "B"}, revisions ? "ExportRevisions=1" : "ExportRevisions=0");
  }
  struct Outcome {
    bool result;
    std::string message;
  };
  // ImportLogicPack on the fixture's options, context and results, so that
  // the plan and the manifest's options it leaves can be read.
  Outcome Import(std::string details) {
    Outcome o;
    o.result = importer::ImportLogicPack(Options(), Context(), Results(), details, o.message);
    return o;
  }
  static std::string PackDetails() {
    return Details({"3|A|B|0|0|1", "5|A|B|3|0|1"}, {"13|A|B|0|0|1", "15|A|B|13|0|1"});
  }
  // The log from the plan's first header line on.
  std::vector<std::string> PlanLog() {
    auto log = LogMessages();
    auto at = std::find(log.begin(), log.end(), std::string(kPlanHeader));
    return {at, log.end()};
  }
  static constexpr std::string_view kPlanHeader =
      "Source Profile Number | Source Application | Target Application| Parent Profile Number ";
};

TEST_F(ImportDriverTest, PlanWithoutRevisionInformation) {
  WritePack(false);
  auto o = Import(PackDetails());
  EXPECT_FALSE(o.result);
  // The pack's application rows are narrower than their table and it holds
  // no rule files: the check before the first delete refuses it, after the plan.
  const std::string data_file = PackFolder() + "/qzddi100A.dat";
  EXPECT_EQ(Error().NumberAsRead(), static_cast<int16_t>(Number(Ours::MalformedPackFile)));
  EXPECT_EQ(Error().ErrorDescription, "A pack file holds a line outside its format: " + data_file +
                                                 ", line 1: a row of 3 fields where 5 are required, found "
                                                 "\"A\\x01Application A\\x010\"");
  const std::string refused = "Logic pack refused before anything was deleted: " + data_file + ", line 1";
  EXPECT_EQ(o.message, Error().ErrorDescription + " (" + refused + ")");

  const auto& p = Results().Plan;
  EXPECT_EQ(p.Size, 1);
  EXPECT_THAT(p.SourceProfiles[0], ElementsAre(3, 5));
  EXPECT_THAT(p.SourceProfiles[1], ElementsAre(0, 3));
  EXPECT_THAT(p.SourceApplications[0], ElementsAre("A", "A"));
  EXPECT_THAT(p.SourceApplications[1], ElementsAre("B", "B"));
  EXPECT_THAT(p.TargetProfiles[0], ElementsAre(13, 15));
  EXPECT_THAT(p.TargetProfiles[1], ElementsAre(0, 13));
  EXPECT_THAT(p.DevelopmentVRCs, ElementsAre("__", "__"));
  EXPECT_FALSE(Results().Manifest.revisions);
  EXPECT_EQ(Results().Manifest.applications, "A|B");

  const std::string header(kPlanHeader);
  EXPECT_THAT(PlanLog(), ElementsAreArray({header, std::string("0---->3|A|B|0"), std::string("1---->5|A|B|3"), header,
                                           std::string("0---->13|A|B|0"), std::string("1---->15|A|B|13"),
                                           std::string("Development VRC"), std::string("0---->"),
                                           std::string("1---->"), std::string("Importing Logic pack ..."),
                                           std::string("Checking logic pack ..."), Error().ErrorDescription,
                                           refused,
                                           std::string("----------------------------------End Import Logic "
                                                       "Pack----------------------------------"),
                                           std::string(importer::kImportRolledBack)}));
}

TEST_F(ImportDriverTest, PlanWithRevisionInformation) {
  WritePack(true);
  auto o = Import(PackDetails());
  EXPECT_TRUE(Results().Manifest.revisions);
  EXPECT_THAT(Results().Plan.DevelopmentVRCs, ElementsAre("d3_c_db1", "d5_c_db1"));
  auto log = PlanLog();
  auto at = std::find(log.begin(), log.end(), "Development VRC");
  ASSERT_NE(at, log.end());
  EXPECT_EQ(*(at + 1), "0---->d3|c|db1");
  EXPECT_EQ(*(at + 2), "1---->d5|c|db1");
}

TEST_F(ImportDriverTest, StartOfTheLog) {
  WritePack(false);
  const std::string details = PackDetails();
  Import(details);
  auto log = LogMessages();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "----------------------------------Import Logic Pack----------------------------------");
  EXPECT_EQ(log[1], "Logic Pack contents: " + details.substr(0, details.find('\r')));
  EXPECT_EQ(log[2], "Logic pack Import Preference: " + details.substr(details.find('\r') + 1));
}

TEST_F(ImportDriverTest, ListsOfDifferentLengthAreRefused) {
  WritePack(false);
  auto o = Import(Details({"1|A|B|0|0|1", "2|A|B|1|0|1", "3|A|B|2|0|1"}, {"11|A|B|0|0|1", "12|A|B|11|0|1"}));
  EXPECT_FALSE(o.result);
  EXPECT_EQ(o.message, "Source and target number of profiles differ.");
  EXPECT_EQ(Error().NumberAsRead(), 505);
  EXPECT_EQ(Error().ErrorDescription, o.message);
  EXPECT_THAT(LogMessages(), Contains(o.message));
  EXPECT_EQ(Results().Plan.Size, -1);
}

TEST_F(ImportDriverTest, RepeatedTargetIsRefusedBeforeTheManifestIsRead) {
  // No pack at all: the manifest would fail, the repeat comes first.
  auto o = Import(Details({"3|A|B|0|0|1", "5|A|B|3|0|1"}, {"12|A|B|0|0|1", "12|A|B|0|0|1"}));
  EXPECT_FALSE(o.result);
  EXPECT_EQ(o.message, "Profile Number 12 repeats in the target selection.");
  EXPECT_EQ(Error().NumberAsRead(), 501);
  EXPECT_THAT(LogMessages(), Contains(o.message));
}

TEST_F(ImportDriverTest, RejectedSelectionIsRefusedWithItsMessages) {
  auto o = Import(Details({"3|A|B|0|0|1"}, {"5|A|B|7|0|1"}));
  EXPECT_FALSE(o.result);
  EXPECT_EQ(o.message, "Profile Number (5) should be greater than the derived from profile (7) .<BR>");
  EXPECT_EQ(Error().NumberAsRead(), 502);
  EXPECT_EQ(Error().ErrorDescription, o.message);
}

TEST_F(ImportDriverTest, DetailsWithoutSecondLineGiveTheReportUnlogged) {
  WritePack(false);
  auto o = Import("3|A|B|0|0|1");
  EXPECT_FALSE(o.result);
  const std::string report = "Unexpected Error.Error Number: 9Description: Subscript out of range";
  EXPECT_EQ(o.message, report);
  EXPECT_EQ(Error().ErrorDescription, report);
  EXPECT_EQ(Error().NumberAsRead(), 0);
  EXPECT_THAT(LogMessages(), Not(Contains(report)));
}

TEST_F(ImportDriverTest, UnreadableManifestGivesTheReport) {
  WritePack(false);
  WriteManifest({"SUCCESS", "--TESTFILES--", "Qzmap100.dat"});
  auto o = Import(PackDetails());
  EXPECT_FALSE(o.result);
  EXPECT_EQ(o.message, "Unexpected Error.Error Number: 100Description: ExportMR.log could not be read.");
  EXPECT_EQ(Results().Plan.Size, -1);
}

TEST_F(ImportDriverTest, ManifestOptionsAreLoaded) {
  WritePack(false);
  WriteGoodManifest({"Qzmap100.dat"}, {"A", "B", "C"}, "ExportRevisions=1", "ExportToNewProfile=21");
  ASSERT_TRUE(importer::ReadLogicPackManifest(Options(), Context(), Results().Manifest));
  EXPECT_EQ(Results().Manifest.applications, "A|B|C");
  EXPECT_TRUE(Results().Manifest.revisions);
  EXPECT_TRUE(Results().Manifest.new_profile);
  EXPECT_EQ(Results().Manifest.new_profile_number, 21);
  EXPECT_FALSE(Results().Manifest.for_sync);
}

TEST_F(ImportDriverTest, DevelopmentVrcOfAPackProfile) {
  WritePack(true);
  std::vector<std::string> vrc = {"stale"};
  int32_t mprf = 5;
  // The manifest has not been read: no revision information is known.
  EXPECT_FALSE(importer::GetDevelopmentVRC(Options(), Context(), Results().Manifest, Error(), mprf, vrc));
  EXPECT_EQ(Error().NumberAsRead(), 250);
  EXPECT_EQ(Error().ErrorDescription, "The profile is not SCM Enabled.");

  Results().Manifest.revisions = true;
  ASSERT_TRUE(importer::GetDevelopmentVRC(Options(), Context(), Results().Manifest, Error(), mprf, vrc));
  EXPECT_THAT(vrc, ElementsAre("d5", "c", "db1"));
  mprf = 9;
  ASSERT_TRUE(importer::GetDevelopmentVRC(Options(), Context(), Results().Manifest, Error(), mprf, vrc));
  EXPECT_THAT(vrc, ElementsAre("", "", ""));

  files::DeleteFile(Env::Default(), files::Join(PackFolder(), "Qzmap105.dat"));
  EXPECT_FALSE(importer::GetDevelopmentVRC(Options(), Context(), Results().Manifest, Error(), mprf, vrc));
  EXPECT_EQ(Error().NumberAsRead(), 299);
  EXPECT_EQ(Error().ErrorDescription, "Could Not get Development VRC");
}

}  // namespace
}  // namespace kestrel::testing
