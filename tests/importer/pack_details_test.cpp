// ShowLogicPackDetails on packs written the way the export writes them, and
// on packs broken in each way it must refuse.
#include <gmock/gmock.h>

#include "base/errors_ours.h"
#include "importer/entry_points.h"
#include "selection_fixture.h"

namespace kestrel::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

class PackDetailsTest : public SelectionFixture {
 protected:
  // A chain pack: profile 5 on A, B derived from 3 on A, B, written child
  // first as the chain export writes them.
  void WriteChainPack(const std::string& new_profile = "ExportToNewProfile=0") {
    WriteRows("Qzmap100.dat", {Header(5, "A", "B"), Header(3, "A", "B")}, 18);
    WriteRows("Qzmap101.dat", {Chain(5, 1, 5), Chain(5, 2, 3), Chain(3, 1, 3)}, 6);
    WriteApplication("A", 0);
    WriteApplication("B", 1);
    WriteGoodManifest({"qzddi100A.dat", "qzddi100B.dat", "Qzmap100.dat", "Qzmap101.dat"}, {"A", "B"},
                      "ExportRevisions=0", new_profile);
  }
  bool Show(std::string& details) { return Object().ShowLogicPackDetails(details); }
  void ExpectRefused(int number, const std::string& text) {
    std::string details = "untouched";
    EXPECT_FALSE(Show(details));
    EXPECT_EQ(Object().get_ErrorNumber(), number);
    EXPECT_EQ(Object().get_ErrorDescription(), text);
    EXPECT_EQ(details, "untouched");
  }
};

TEST_F(PackDetailsTest, ChainPackIsListedBaseFirstAndProposedAsItStands) {
  WriteChainPack();
  std::string details;
  ASSERT_TRUE(Show(details)) << Object().get_ErrorDescription();
  // Nothing is stored: numbers and applications unmarked, the root's parent "0*".
  EXPECT_EQ(details, Details({"3|A|B|0|0|1", "5|A|B|3|0|1"}, {"3|A|B|0*|0|1", "5|A|B|3*|0|1"}));
  EXPECT_THAT(LogMessages(), Contains("Sorting array ..."));
}

TEST_F(PackDetailsTest, TargetListMarksWhatTheStoreHolds) {
  WriteChainPack();
  StoreApplication("A", 0);
  StoreApplication("B", 1);
  StoreProfile(3, "A", "B");
  std::string details;
  ASSERT_TRUE(Show(details)) << Object().get_ErrorDescription();
  EXPECT_EQ(details, Details({"3|A|B|0|0|1", "5|A|B|3|0|1"}, {"3*|A*|B*|0*|0|1", "5|A*|B*|3|0|1"}));
}

TEST_F(PackDetailsTest, AnnouncedNumberTakesItsParentFromTheStore) {
  // A single-profile pack announcing number 7, which the store holds under parent 4.
  WriteRows("Qzmap100.dat", {Header(5, "A", "B")}, 18);
  WriteRows("Qzmap101.dat", {Chain(5, 1, 5)}, 6);
  WriteApplication("A", 0);
  WriteApplication("B", 1);
  WriteGoodManifest({"qzddi100A.dat", "qzddi100B.dat", "Qzmap100.dat", "Qzmap101.dat"}, {"A", "B"},
                    "ExportRevisions=0", "ExportToNewProfile=7");
  StoreProfile(4, "C", "D");
  StoreProfile(7, "C", "D", 4);
  std::string details;
  ASSERT_TRUE(Show(details)) << Object().get_ErrorDescription();
  EXPECT_EQ(details, Details({"5|A|B|0|0|1"}, {"7*|A|B|4|0|1"}));
  // The step records the announced number with the manifest's options.
  std::string again;
  ASSERT_TRUE(importer::ShowLogicPackDetails(Options(), Context(), Results().Manifest, Error(), again));
  EXPECT_EQ(again, details);
  EXPECT_EQ(Results().Manifest.new_profile_number, 7);
}

TEST_F(PackDetailsTest, ParentOfAStoredProfileComesFromTheStoreWhenThePackHasNone) {
  WriteRows("Qzmap100.dat", {Header(8, "A", "B")}, 18);
  WriteRows("Qzmap101.dat", {Chain(8, 1, 8)}, 6);
  WriteApplication("A", 0);
  WriteApplication("B", 1);
  WriteGoodManifest({"Qzmap100.dat"}, {"A", "B"});
  StoreProfile(6, "A", "B");
  StoreProfile(8, "A", "B", 6);
  std::string details;
  ASSERT_TRUE(Show(details)) << Object().get_ErrorDescription();
  EXPECT_EQ(details, Details({"8|A|B|6|0|1"}, {"8*|A|B|6|0|1"}));
}

TEST_F(PackDetailsTest, EmptyApplicationFileGivesMinusOne) {
  WriteRows("Qzmap100.dat", {Header(5, "A", "B")}, 18);
  WriteRows("Qzmap101.dat", {Chain(5, 1, 5)}, 6);
  WriteRows("qzddi100A.dat", {}, 3);
  WriteApplication("B", 1);
  WriteGoodManifest({"Qzmap100.dat"}, {"A", "B"});
  std::string details;
  ASSERT_TRUE(Show(details)) << Object().get_ErrorDescription();
  EXPECT_EQ(details, Details({"5|A|B|0|-1|1"}, {"5|A|B|0*|-1|1"}));
}

TEST_F(PackDetailsTest, ProfilesFiveThenThreeListThreeFirst) {
  // Two unrelated roots, in file order 5 then 3.
  WriteRows("Qzmap100.dat", {Header(5, "A", "B"), Header(3, "B", "A")}, 18);
  WriteRows("Qzmap101.dat", {Chain(5, 1, 5), Chain(3, 1, 3)}, 6);
  WriteApplication("A", 0);
  WriteApplication("B", 1);
  WriteGoodManifest({"Qzmap100.dat"}, {"A", "B"});
  std::string details;
  ASSERT_TRUE(Show(details));
  EXPECT_EQ(details, Details({"3|B|A|0|1|0", "5|A|B|0|0|1"}, {"3|B|A|0*|1|0", "5|A|B|0*|0|1"}));
}

TEST_F(PackDetailsTest, FolderAndManifestMustExist) {
  Object().put_Path(PackFolder() + "/missing");
  ExpectRefused(1, "ShowLogicPackDetails - Path Not Found " + PackFolder() + "/missing");
  Object().put_Path(PackFolder());
  ExpectRefused(2, "ShowLogicPackDetails - Log File Missing ExportMR.log");
}

TEST_F(PackDetailsTest, FailedExportIsRefusedEvenWithAllItsFiles) {
  WriteChainPack();
  WriteManifest({"ERRORS", "--TESTFILES--", "Qzmap100.dat", "--END TESTFILES--", "--APPLS--", "--ENDAPPLS--",
                 "ExportRevisions=0", "ExportToNewProfile=0", "ExportForSyn=0"});
  ExpectRefused(3, "ShowLogicPackDetails - Exported Objects are incorrect");
  WriteManifest({"errors"});
  ExpectRefused(3, "ShowLogicPackDetails - Exported Objects are incorrect");
}

TEST_F(PackDetailsTest, ListedFileMustBeInThePack) {
  WriteChainPack();
  WriteGoodManifest({"Qzmap100.dat", "Qzmap120.dat"}, {"A", "B"});
  ExpectRefused(5, "ShowLogicPackDetails - At least one or more data files are missing.Qzmap120.dat");
}

TEST_F(PackDetailsTest, MisplacedMarkersAndOptionLinesAreRefused) {
  WriteChainPack();
  const std::string corrupt = "ShowLogicPackDetails - Incorrect log file or log file corrupted";
  WriteManifest({"SUCCESS", "--APPLS--", "A", "--ENDAPPLS--", "ExportRevisions=0", "ExportToNewProfile=0"});
  ExpectRefused(4, corrupt);
  WriteManifest({"SUCCESS", "--TESTFILES--", "--END TESTFILES--", "A", "--ENDAPPLS--", "ExportRevisions=0",
                 "ExportToNewProfile=0"});
  ExpectRefused(4, corrupt);
  WriteManifest({"SUCCESS", "--TESTFILES--", "--END TESTFILES--", "--APPLS--", "--ENDAPPLS--", "ExportRevisions=2",
                 "ExportToNewProfile=0"});
  ExpectRefused(4, corrupt);
  WriteManifest({"SUCCESS", "--TESTFILES--", "--END TESTFILES--", "--APPLS--", "--ENDAPPLS--", "ExportRevisions=1",
                 "ExportToNewProfil=7"});
  ExpectRefused(4, corrupt);
}

TEST_F(PackDetailsTest, StatusNeitherSuccessNorErrorsSkipsTheFileList) {
  WriteChainPack();
  // The second line must then be the application list's start.
  WriteManifest({"PARTIAL", "--APPLS--", "A", "B", "--ENDAPPLS--", "ExportRevisions=0", "ExportToNewProfile=0"});
  std::string details;
  EXPECT_TRUE(Show(details)) << Object().get_ErrorDescription();
  WriteManifest({"PARTIAL", "--TESTFILES--", "Qzmap100.dat", "--END TESTFILES--", "--APPLS--", "--ENDAPPLS--",
                 "ExportRevisions=0", "ExportToNewProfile=0"});
  ExpectRefused(4, "ShowLogicPackDetails - Incorrect log file or log file corrupted");
}

TEST_F(PackDetailsTest, ManifestEndingEarlyFailsWithTheReadErrorNamingTheFile) {
  WriteChainPack();
  WriteManifest({"SUCCESS", "--TESTFILES--", "Qzmap100.dat"});
  ExpectRefused(62, "Input past end of file: " + PackFolder() + "/ExportMR.log ends after line 3");
  WriteManifest({});
  ExpectRefused(62, "Input past end of file: " + PackFolder() + "/ExportMR.log is empty");
}

TEST_F(PackDetailsTest, HeaderLineWithoutEighteenFieldsIsRefused) {
  WriteChainPack();
  auto short_line = Header(5, "A", "B");
  short_line.pop_back();
  WriteRows("Qzmap100.dat", {short_line}, 17);
  ExpectRefused(100, "Import Migration Profile - Qzmap100.dat file is not having enough data or file is corrupted");
}

TEST_F(PackDetailsTest, UnreadableHierarchyOrApplicationFileIsRefused) {
  WriteChainPack();
  files::DeleteFile(Env::Default(), files::Join(PackFolder(), "Qzmap101.dat"));
  WriteGoodManifest({"Qzmap100.dat"}, {"A", "B"});
  ExpectRefused(100, "Import Migration Profile - Qzmap101.dat file is not having enough data or file is corrupted");

  WriteChainPack();
  files::DeleteFile(Env::Default(), files::Join(PackFolder(), "qzddi100B.dat"));
  WriteGoodManifest({"Qzmap100.dat"}, {"A", "B"});
  ExpectRefused(100, "Import Migration Profile - qzddi100.dat file is not having enough data or file is corrupted");
}

TEST_F(PackDetailsTest, ApplicationCodeLeavingThePackIsRefusedBeforeReading) {
  WriteChainPack();
  WriteRows("Qzmap100.dat", {Header(5, "../A", "B")}, 18);
  std::string details;
  EXPECT_FALSE(Show(details));
  EXPECT_EQ(Object().get_ErrorNumber(), static_cast<int16_t>(Number(Ours::BadApplicationCode)));
}

TEST_F(PackDetailsTest, StoreFailureIsReportedWithItsOwnNumber) {
  WriteChainPack("ExportToNewProfile=7");
  StoreProfile(7, "A", "B");
  Store().Execute("drop table qzmap101");
  std::string details;
  EXPECT_FALSE(Show(details));
  EXPECT_NE(Object().get_ErrorNumber(), 0);
  EXPECT_THAT(Object().get_ErrorDescription(), ::testing::HasSubstr("qzmap101"));
}

}  // namespace
}  // namespace kestrel::testing
