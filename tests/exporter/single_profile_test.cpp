// The export driver with the single-profile export and the mapping object
// export, on stores built for the purpose: a root, a child and a grandchild
// on a base source and an extension target application.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/errors_ours.h"
#include "base/files.h"
#include "exporter/export_driver.h"
#include "exporter/export_store.h"
#include "exporter/mapping_objects.h"
#include "pack/layout.h"
#include "pack/manifest.h"
#include "support/fault_env.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

using ::testing::ElementsAre;
using kestrel::testing::ReadFile;
using kestrel::testing::FaultEnv;

const TestObject kRootOnly{"AR", "CUST", "010"};   // rules only in the root
const TestObject kRedefined{"AR", "INVC", "020"};  // rules in the root and the child
const TestObject kNowhere{"AR", "PAYM", "030"};    // rules in no profile
const TestObject kOwn{"AR", "ORDR", "040"};        // rules in the grandchild

const TestProfile kRoot{5, "BAS", "EXT", {"X40", "c", "ab1"}, std::nullopt, "Y"};
const TestProfile kChild{7, "BAS", "EXT", {"X41U", "c", "ab1"}, TestVrc{"X40", "c", "ab1"}, "Y"};
const TestProfile kGrandchild{9, "BAS", "EXT", {"X42U", "c", "ab1"}, TestVrc{"X41U", "c", "ab1"}, "Y"};

// Root 5, child 7 and grandchild 9 converting BAS (base) into EXT (extension).
class SingleProfileExport : public ::testing::Test {
 protected:
  void SetUp() override {
    store.AddApplication("BAS", 0);
    store.AddApplication("EXT", 1);
    for (const auto* o : {&kRootOnly, &kRedefined, &kNowhere, &kOwn}) store.AddObject("EXT", 1, *o);
    store.AddProfile(kRoot);
    store.AddProfile(kChild, {&kRoot});
    store.AddProfile(kGrandchild, {&kChild, &kRoot});
    store.AddDevelopmentVrc(kGrandchild, {"dX42U", "c", "dab1"});

    store.AddRule120(5, kRoot.vrc, kRootOnly, "root rule of CUST");
    store.AddOtherRules(5, kRoot.vrc, kRootOnly, "root other of CUST");
    store.AddRevisions(5, kRoot.vrc, kRootOnly, "root revision of CUST");
    store.AddRule120(5, kRoot.vrc, kRedefined, "root rule of INVC");
    store.AddOtherRules(5, kRoot.vrc, kRedefined, "root other of INVC");
    store.AddRule120(7, kChild.vrc, kRedefined, "child rule of INVC");
    store.AddRule120(7, kChild.vrc, kRedefined, "second child rule of INVC");
    store.AddOtherRules(7, kChild.vrc, kRedefined, "child other of INVC");
    store.AddRevisionTwins(7, kChild.vrc, kRedefined, "child revision without info");
    store.AddRule120(9, kGrandchild.vrc, kOwn, "own rule of ORDR", "bsmith");
  }

  std::unique_ptr<Kestrel20ImpExp::clsExport> Grandchild(bool traverse = true, bool revisions = false) {
    auto e = NewExport(store, 9, true);
    e->put_traveseparent(traverse);
    e->put_ExportRevisionInformation(revisions);
    return e;
  }

  std::string PackFolder() const { return store.root() + "/ExportedRules/9-BAS-EXT-S"; }

  ExportStore store;
};

TEST_F(SingleProfileExport, InheritedRulesAreWrittenOnceAsTheGrandchildsFromTheNearestLevel) {
  auto e = Grandchild();
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  EXPECT_EQ(e->get_ErrorNumber(), 0);
  EXPECT_EQ(e->PackFolder(), PackFolder());

  auto rules = RecordsOf(PackFolder(), pack::kQzmap120);
  EXPECT_THAT(ColumnOf(rules, "prtx"), ElementsAre("child rule of INVC", "own rule of ORDR", "root rule of CUST",
                                                  "second child rule of INVC"));
  for (const auto& r : rules) {
    EXPECT_EQ(r.at("mprf"), "9");
    EXPECT_EQ(r.at("vers"), "X42U");
    EXPECT_EQ(r.at("rele"), "c");
    EXPECT_EQ(r.at("cust"), "ab1");
    EXPECT_EQ(r.count("ldat"), 0u) << "the mapping object export leaves out :LDAT:";
  }
  EXPECT_THAT(ColumnOf(RecordsOf(PackFolder(), pack::kQzmap130), "qury"),
              ElementsAre("child other of INVC", "root other of CUST"));
  EXPECT_THAT(ColumnOf(RecordsOf(PackFolder(), pack::kQzmap140), "mrul"),
              ElementsAre("child other of INVC", "root other of CUST"));
  EXPECT_THAT(ColumnOf(RecordsOf(PackFolder(), pack::kQzmap160), "func"),
              ElementsAre("child other of INVC", "root other of CUST"));
  auto scripts = RecordsOf(PackFolder(), pack::kQzmap170);
  EXPECT_THAT(ColumnOf(scripts, "bflno"), ElementsAre("child other of INVC", "root other of CUST"));
  EXPECT_THAT(ColumnOf(scripts, "mprf"), ElementsAre("9", "9"));

  auto progress = ProgressTexts(PackFolder());
  EXPECT_EQ(std::count(progress.begin(), progress.end(), "Exporting Mapping Object ARCUST010 Started <time>"), 1);
  EXPECT_EQ(std::count(progress.begin(), progress.end(), "Exporting Mapping Object ARINVC020 Completed <time>"), 1);
  EXPECT_EQ(std::count(progress.begin(), progress.end(), "No Mapping Rules Present for the Object : ARPAYM030"), 1);
  EXPECT_EQ(std::count(progress.begin(), progress.end(),
                       "Object Exported ARORDR040 but was Checked out by user bsmith"),
            1);
}

TEST_F(SingleProfileExport, HeaderFilesCarryTheDecipheredOwnerAndTheProfileAsItsOwnLevel) {
  auto e = Grandchild();
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  EXPECT_THAT(LinesOf(PackFolder() + "/Qzmap100.dat"),
              ElementsAre("9\1BAS\1EXT\1X42U\1c\1ab1\1X41U\1c\1ab1\1Profile 9\1Y\0013\1jmartin\1\1\1\1\1Conversion"));
  EXPECT_THAT(LinesOf(PackFolder() + "/Qzmap101.dat"), ElementsAre("9\0011\1X42U\1c\1ab1\0019"));
}

TEST_F(SingleProfileExport, ManifestPutsStatusListsAndOptionsBeforeTheProgress) {
  auto e = Grandchild();
  e->put_NewProfileNumber(12);
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  std::string text = ReadFile(PackFolder() + "/ExportMR.log");
  auto lines = LinesOf(PackFolder() + "/ExportMR.log");
  ASSERT_GT(lines.size(), 10u);
  EXPECT_EQ(lines[0], "SUCCESS");
  EXPECT_EQ(lines[1], "--TESTFILES--");
  auto appls = std::find(lines.begin(), lines.end(), "--APPLS--");
  ASSERT_NE(appls, lines.end());
  EXPECT_EQ(*(appls - 1), "--END TESTFILES--");
  EXPECT_EQ(*(appls + 1), "BAS");
  EXPECT_EQ(*(appls + 2), "EXT");
  EXPECT_EQ(*(appls + 3), "--ENDAPPLS--");
  EXPECT_EQ(*(appls + 4), "ExportRevisions=0");
  EXPECT_EQ(*(appls + 5), "ExportToNewProfile=12");
  EXPECT_EQ(*(appls + 6), "ExportForSyn=0");
  EXPECT_EQ((appls + 7)->rfind("Exporting Migration Profile 9 Started at ", 0), 0u);
  EXPECT_EQ(lines.back().rfind("Exporting Migration Profile 9 completed Successfully at ", 0), 0u);
  EXPECT_NE(text.substr(text.size() - 2), "\r\n") << "the last line has no line end";

  // The drivers' progress in the order of the procedure (other lines between).
  const std::vector<std::string> expected = {
      "Exporting Qzmap100 Started : <time>", "Exporting Qzmap100 Ended   : <time>",
      "Exporting Qzddi100 Started : <time>", "Exporting Qzddi100 Ended   : <time>",
      "Exporting Qzddi101 Started : <time>", "Exporting Qzddi140 Started : <time>",
      "Exporting Qzddi150 Started : <time>", "Exporting Qzddi160 Started : <time>",
      "Exporting Qzddi200 Started : <time>", "Exporting Qzddi220 Started : <time>",
      "Exporting Qzddi230 Started : <time>", "Exporting Qzddi230 Ended   : <time>",
      "Exporting Qzlgy140 and Qzlgy141 Started : <time>", "Exporting Qzlgy140 and Qzlgy141 Ended   : <time>",
      "Exporting Qzlgy150 Started : <time>", "Exporting Qzlgy150 Ended   : <time>",
      "Exporting Mapping Objects Started : <time>", "Exporting Mapping Objects Ended : <time>",
      "Exporting Functions Started : <time>", "Exporting Functions Completed : <time>",
      "Exporting codes Started : <time>", "Exporting codes Completed : <time>",
      "Exporting includes completed"};
  auto progress = ProgressTexts(PackFolder());
  auto at = progress.begin();
  for (const auto& line : expected) {
    at = std::find(at, progress.end(), line);
    ASSERT_NE(at, progress.end()) << "missing or out of order: " << line;
  }
}

TEST_F(SingleProfileExport, ManifestListsExactlyTheFilesOfThePackRuleFilesInCreationOrder) {
  for (bool revisions : {false, true}) {
    SCOPED_TRACE(revisions ? "with revisions" : "without revisions");
    auto e = Grandchild(true, revisions);
    e->put_OverWrite(true);
    ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
    auto listed = ListedFiles(PackFolder());
    auto present = FilesIn(PackFolder());
    auto sorted = listed;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, present);
    // Rule files begin with an upper-case letter, application data files do not.
    std::vector<std::string> rule_files;
    std::copy_if(listed.begin(), listed.end(), std::back_inserter(rule_files),
                 [](const std::string& n) { return n[0] == 'Q'; });
    std::vector<std::string> expected = {"Qzmap100.dat", "Qzmap101.dat", "Qzmap120.dat", "Qzmap130.dat",
                                         "Qzmap140.dat", "Qzmap160.dat", "Qzmap170.dat"};
    if (revisions)
      for (auto name : {"Qzmap125.dat", "Qzmap135.dat", "Qzmap145.dat", "Qzmap165.dat", "Qzmap110.dat",
                        "Qzmap105.dat", "Qzmap175.dat"})
        expected.push_back(name);
    for (auto name : {"Qzmap150.dat", "Qzlgy115.dat", "Qzlib100.dat"}) expected.push_back(name);
    if (revisions) expected.push_back("Qzlib105.dat");
    EXPECT_EQ(rule_files, expected);
  }
}

TEST_F(SingleProfileExport, RevisionsComeFromTheLevelWhoseRulesAreExported) {
  auto e = Grandchild(true, true);
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  auto lines = LinesOf(PackFolder() + "/ExportMR.log");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ExportRevisions=1"), lines.end());
  EXPECT_THAT(LinesOf(PackFolder() + "/Qzmap105.dat"), ElementsAre("9\1X42U\1c\1ab1\1dX42U\1c\1dab1"));

  auto info = RecordsOf(PackFolder(), pack::kQzmap110);
  ASSERT_EQ(info.size(), 1u);
  EXPECT_EQ(info[0].at("rinf"), "root revision of CUST");
  EXPECT_EQ(info[0].at("mprf"), "9");
  EXPECT_EQ(info[0].at("vers"), "X42U");
  // The child's twins of INVC stay out: the child has no qzmap110 row for it.
  for (const auto* layout : {&pack::kQzmap125, &pack::kQzmap135, &pack::kQzmap145, &pack::kQzmap165,
                             &pack::kQzmap175}) {
    auto records = RecordsOf(PackFolder(), *layout);
    ASSERT_EQ(records.size(), 1u) << layout->table;
    EXPECT_EQ(records[0].at("mprf"), "9");
  }
  auto progress = ProgressTexts(PackFolder());
  EXPECT_EQ(std::count(progress.begin(), progress.end(), "No Revisions Present"), 2)
      << "INVC (child) and ORDR (grandchild) have no revision information";
  EXPECT_EQ(std::count(progress.begin(), progress.end(),
                       "Exporting Revisions for Mapping Object ARCUST010 Completed <time>"),
            1);
  // Started and Completed frame the revisions of an object also when it has none.
  auto none = std::find(progress.begin(), progress.end(), "No Revisions Present");
  ASSERT_NE(none, progress.end());
  ASSERT_NE(none + 1, progress.end());
  EXPECT_EQ((none + 1)->rfind("Exporting Revisions for Mapping Object ", 0), 0u);
  EXPECT_NE((none + 1)->find(" Completed <time>"), std::string::npos);
  EXPECT_NE(std::find(progress.begin(), progress.end(), "Exporting Development VRC Information Completed: <time>"),
            progress.end());
}

TEST_F(SingleProfileExport, RevisionsAnnouncedOnlyWhenAskedForAndTheProfileKeepsThem) {
  struct Case {
    const char* scme;
    bool asked;
    const char* line;
  };
  for (const Case& c : {Case{"Y", false, "ExportRevisions=0"}, Case{"N", true, "ExportRevisions=0"},
                        Case{"Y", true, "ExportRevisions=1"}}) {
    SCOPED_TRACE(std::string("scme ") + c.scme + (c.asked ? " asked" : " not asked"));
    store.Exec(std::string("update qzmap100 set scme='") + c.scme + "' where mprf=9");
    auto e = Grandchild(true, c.asked);
    e->put_OverWrite(true);
    ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
    auto lines = LinesOf(PackFolder() + "/ExportMR.log");
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end());
    EXPECT_EQ(files::FileExists(Env::Default(), PackFolder() + "/Qzmap110.dat"), std::string(c.line) == "ExportRevisions=1");
  }
}

TEST_F(SingleProfileExport, WithoutTraversingParentsOnlyTheProfilesOwnObjectsAreWritten) {
  auto e = Grandchild(false);
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  EXPECT_THAT(ColumnOf(RecordsOf(PackFolder(), pack::kQzmap120), "prtx"), ElementsAre("own rule of ORDR"));
  EXPECT_TRUE(RecordsOf(PackFolder(), pack::kQzmap130).empty());
  auto progress = ProgressTexts(PackFolder());
  for (const auto& line : progress) EXPECT_EQ(line.find("No Mapping Rules Present"), std::string::npos) << line;
}

TEST_F(SingleProfileExport, StreamsLeftOpenAreCompleteWhileTheObjectLives) {
  auto e = Grandchild(true, true);
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  // Qzmap170.dat, Qzmap105.dat and Qzmap175.dat are still open here.
  EXPECT_EQ(RecordsOf(PackFolder(), pack::kQzmap170).size(), 2u);
  EXPECT_EQ(RecordsOf(PackFolder(), pack::kQzmap175).size(), 1u);
  EXPECT_EQ(LinesOf(PackFolder() + "/Qzmap105.dat").size(), 1u);
}

TEST_F(SingleProfileExport, RefusalsLeaveNothingOrTheFirstPackUntouched) {
  {
    auto e = Grandchild();
    e->put_Path(store.Folder("missing"));
    EXPECT_FALSE(e->ExportMigrationProfiles());
    EXPECT_EQ(e->get_ErrorNumber(), 1);
    EXPECT_EQ(e->get_ErrorDescription(), "Error : Path Not Found " + store.Folder("missing"));
    EXPECT_FALSE(files::FolderExists(Env::Default(), store.Folder("missing")));
  }
  {
    auto e = NewExport(store, 77, true);
    EXPECT_FALSE(e->ExportMigrationProfiles());
    EXPECT_EQ(e->get_ErrorNumber(), 2);
    EXPECT_EQ(e->get_ErrorDescription(), "Error : Migration Profile Not found PROFILE NUMBER = 77");
    EXPECT_FALSE(files::FolderExists(Env::Default(), store.root() + "/ExportedRules"));
  }
  auto first = Grandchild();
  ASSERT_TRUE(first->ExportMigrationProfiles()) << first->get_ErrorDescription();
  std::string manifest = ReadFile(PackFolder() + "/ExportMR.log");
  auto stamp = std::filesystem::last_write_time(PackFolder() + "/Qzmap120.dat");
  auto again = Grandchild();
  EXPECT_FALSE(again->ExportMigrationProfiles());
  EXPECT_EQ(again->get_ErrorNumber(), 3);
  EXPECT_EQ(again->get_ErrorDescription(),
            "Error : Migration Profile Already Exported\r\nSuggession : Set Overwrite Option to True");
  EXPECT_EQ(ReadFile(PackFolder() + "/ExportMR.log"), manifest);
  EXPECT_EQ(std::filesystem::last_write_time(PackFolder() + "/Qzmap120.dat"), stamp);
}

TEST_F(SingleProfileExport, EmptyPathExportsBelowTheDefaultRoot) {
  kestrel::testing::TempFolder home;
  kestrel::testing::FaultEnv env;
  env.SetVariable("KESTREL_EXPORT_ROOT", home / "exports");
  {
    auto e = NewExport(store, 9, true, env);
    e->put_traveseparent(true);
    e->put_Path("");
    ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
    EXPECT_EQ(e->PackFolder(), home / "exports/ExportedRules/9-BAS-EXT-S");
    EXPECT_TRUE(files::FileExists(env, e->PackFolder() + "/ExportMR.log"));
  }
  kestrel::testing::FaultEnv without_root;
  without_root.SetVariable("HOME", home.path());
  EXPECT_EQ(exporter::DefaultExportRoot(without_root), home / "ImpExpMR");
}

TEST_F(SingleProfileExport, ASecondExportOnTheSameObjectCarriesTheFirstOnesText) {
  auto e = Grandchild();
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  // Path now names the first pack, which becomes the root of the second.
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  EXPECT_EQ(e->PackFolder(), PackFolder() + "/ExportedRules/9-BAS-EXT-S");
  std::string text = ReadFile(e->PackFolder() + "/ExportMR.log");
  size_t first_end = text.find("completed Successfully at ");
  ASSERT_NE(first_end, std::string::npos);
  EXPECT_NE(text.find("Exporting Migration Profile 9 Started at ", first_end), std::string::npos);
  EXPECT_EQ(text.rfind("SUCCESS\r\n--TESTFILES--\r\n", 0), 0u);
  // Both exports' files are listed.
  auto listed = ListedFiles(e->PackFolder());
  EXPECT_EQ(std::count(listed.begin(), listed.end(), "Qzmap120.dat"), 2);
}

TEST_F(SingleProfileExport, AProfileWithoutOwnerFailsAsARunTimeFailure) {
  store.Exec("update qzmap100 set ownr=NULL where mprf=9");
  auto e = Grandchild();
  EXPECT_FALSE(e->ExportMigrationProfiles());
  EXPECT_EQ(e->get_ErrorNumber(), 999);
  EXPECT_EQ(e->get_ErrorDescription(), "UnSpecified Error: --ExportSingleProfile-- 94   Invalid use of Null");
  auto lines = LinesOf(PackFolder() + "/ExportMR.log");
  EXPECT_EQ(lines.front(), "ERRORS");
  EXPECT_THAT(std::vector<std::string>(lines.end() - 3, lines.end()),
              ElementsAre("Exporting Migration Profile Ended with Errors", "Error Number      : 999",
                          "Error Description : UnSpecified Error: --ExportSingleProfile-- 94   Invalid use of Null"));
}

TEST_F(SingleProfileExport, AMissingParentStopsTheExportAtTheFirstLevel) {
  // Profile 11 names a base VRC that no profile has.
  TestProfile orphan{11, "BAS", "EXT", {"X50U", "c", "ab1"}, TestVrc{"X49", "c", "ab1"}, "N"};
  store.AddProfile(orphan);
  auto e = NewExport(store, 11, true);
  e->put_traveseparent(true);
  EXPECT_FALSE(e->ExportMigrationProfiles());
  EXPECT_EQ(e->get_ErrorNumber(), 4);
  EXPECT_EQ(e->get_ErrorDescription(), "Error : --ExportObjectEx-- Parent Profile is missing");
  EXPECT_EQ(LinesOf(store.root() + "/ExportedRules/11-BAS-EXT-S/ExportMR.log").front(), "ERRORS");
}

TEST_F(SingleProfileExport, ALoopOfParentVrcsIsRefusedInsteadOfClimbingForever) {
  TestProfile a{31, "BAS", "EXT", {"L1", "c", "ab1"}, TestVrc{"L2", "c", "ab1"}, "N"};
  TestProfile b{32, "BAS", "EXT", {"L2", "c", "ab1"}, TestVrc{"L1", "c", "ab1"}, "N"};
  store.AddProfile(a);
  store.AddProfile(b);
  auto e = NewExport(store, 31, true);
  e->put_traveseparent(true);
  EXPECT_FALSE(e->ExportMigrationProfiles());
  EXPECT_EQ(e->get_ErrorNumber(), Number(Ours::ChainTooLong));
  EXPECT_NE(e->get_ErrorDescription().find("profile 31 is reached twice"), std::string::npos)
      << e->get_ErrorDescription();
}

// ExportMappingObjects and ExportObjectEx called on their own, with the rule
// files open as ExportSingleProfile leaves them.
class MappingObjectExport : public SingleProfileExport {
 protected:
  void SetUp() override {
    SingleProfileExport::SetUp();
    ctx.DataConnection = store.connection();
    ctx.PackFolder = store.root();
    for (const auto* layout : pack::kTaggedLayouts)
      ctx.RuleStreams[std::string(layout->single_profile_file)] =
          files::TextWriter::Create(Env::Default(), ctx.PackFile(layout->single_profile_file));
  }
  pack::Identity Identity(int mprf, const TestVrc& v) const {
    return {Value(int64_t{mprf}), Value(v.vers), Value(v.rele), Value(v.cust)};
  }
  exporter::ExportContext ctx{Env::Default()};
  ErrorState error;
  // Climbing to ancestors allowed, revisions not exported above the first level.
  const exporter::ObjectScope scope{.traverse_parents = true, .for_sync = false, .revisions = false};
};

TEST_F(MappingObjectExport, ApplicationsWithoutDefinitionOrObjectsAreRefused) {
  EXPECT_FALSE(exporter::ExportMappingObjects(ctx, error, scope, "NOPE", Identity(9, kGrandchild.vrc), {"X41U", "c", "ab1"}));
  EXPECT_EQ(error.ErrorNumber, 100);
  EXPECT_EQ(error.ErrorDescription, "Error : Qzddi100 - No Data Present for Applications  NOPE");

  EXPECT_FALSE(exporter::ExportMappingObjects(ctx, error, scope, "BAS", Identity(9, kGrandchild.vrc), {"X41U", "c", "ab1"}));
  EXPECT_EQ(error.ErrorNumber, 140);
  EXPECT_EQ(error.ErrorDescription, "Error : Qzlgy140 - No Data Present for Applications  BAS");

  store.AddApplication("EX2", 1);
  EXPECT_FALSE(exporter::ExportMappingObjects(ctx, error, scope, "EX2", Identity(9, kGrandchild.vrc), {"X41U", "c", "ab1"}));
  EXPECT_EQ(error.ErrorNumber, 140);
  EXPECT_EQ(error.ErrorDescription, "Error : Qzddi140 - No Data Present for Applications  EX2");
}

TEST_F(MappingObjectExport, BaseApplicationsListTheirObjectsInQzlgy140) {
  store.AddObject("BAS", 0, kRootOnly);
  ASSERT_TRUE(exporter::ExportMappingObjects(ctx, error, scope, "BAS", Identity(9, kGrandchild.vrc), {"X41U", "c", "ab1"}))
      << error.ErrorDescription;
  ctx.RuleStreams.at("Qzmap120.dat")->Close();
  EXPECT_THAT(ColumnOf(RecordsOf(ctx.PackFolder, pack::kQzmap120), "prtx"), ElementsAre("root rule of CUST"));
}

TEST_F(MappingObjectExport, AMissingParentAboveTheFirstLevelOnlyLeavesItsError) {
  // 23 is based on 22, which names a base VRC that no profile has.
  TestProfile p22{22, "BAS", "EXT", {"M41U", "c", "ab1"}, TestVrc{"M40", "c", "ab1"}, "N"};
  TestProfile p23{23, "BAS", "EXT", {"M42U", "c", "ab1"}, TestVrc{"M41U", "c", "ab1"}, "N"};
  store.AddProfile(p22);
  store.AddProfile(p23, {&p22});
  EXPECT_TRUE(exporter::ExportObjectEx(ctx, error, scope, Identity(23, p23.vrc), 23, {"M42U", "c", "ab1"}, {"M41U", "c", "ab1"},
                                     {"AR", "PAYM", "030"}, false, true));
  EXPECT_EQ(error.ErrorNumber, 4);
  EXPECT_EQ(error.ErrorDescription, "Error : --ExportObjectEx-- Parent Profile is missing");
}

TEST_F(MappingObjectExport, ANullRevisionDateFailsTheLevelThatWritesIt) {
  store.AddRevisionInfo(9, kGrandchild.vrc, kOwn, "broken", /*null_sdat=*/true);
  EXPECT_FALSE(exporter::ExportObjectEx(ctx, error, scope, Identity(9, kGrandchild.vrc), 9, {"X42U", "c", "ab1"},
                                      {"X41U", "c", "ab1"}, {"AR", "ORDR", "040"}, true, true));
  EXPECT_EQ(error.ErrorNumber, 999);
  EXPECT_EQ(error.ErrorDescription, "UnSpecified Error : --ExportObjectEx-- 94   Invalid use of Null");
}

TEST_F(MappingObjectExport, ClimbingCanBeForbiddenByTheCaller) {
  EXPECT_TRUE(exporter::ExportObjectEx(ctx, error, scope, Identity(9, kGrandchild.vrc), 9, {"X42U", "c", "ab1"},
                                     {"X41U", "c", "ab1"}, {"AR", "CUST", "010"}, false, false));
  ctx.RuleStreams.at("Qzmap120.dat")->Close();
  EXPECT_TRUE(RecordsOf(ctx.PackFolder, pack::kQzmap120).empty());
  EXPECT_TRUE(ctx.ManifestText.empty());
}

}  // namespace
}  // namespace kestrel::testing
