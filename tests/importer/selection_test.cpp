// The user's selection before anything is imported: the proposal read from a
// pack and its markers, the manifest's refusals, the verification of target
// entries with every message and number, and ImportLogicPack up to its plan.
#include <gmock/gmock.h>

#include <functional>

#include "base/errors_ours.h"
#include "base/text.h"
#include "import_fixture.h"
#include "importer/entry_points.h"
#include "importer/import_unit.h"

namespace kestrel::testing {
namespace {

using ::testing::ElementsAre;
using Rows = std::vector<std::vector<std::string>>;

const std::string kBr = "<BR>";
// Parts of a manifest, lines joined by "|".
const std::string kNoFlags = "ExportRevisions=0|ExportToNewProfile=0|ExportForSyn=0";
const std::string kHeaderFile = "--TESTFILES--|Qzmap100.dat|--END TESTFILES--";

// Source list, CR, target list.
std::string Details(const std::vector<std::string>& sources, const std::vector<std::string>& targets) {
  return importer::JoinList(sources) + "\r" + importer::JoinList(targets);
}

class SelectionTest : public ImportFixture {
 protected:
  void SetUp() override {
    ImportFixture::SetUp();
    object_ = NewImport(*store_, Pack());
  }
  const std::string& Pack() const { return s_->o.Path; }
  void StoreApplication(const std::string& appl, int extn) const { store_->Add("qzddi100", {{"appl", appl}, {"extn", extn}}); }
  // A profile on X<n> c ab1, below `parent` when one is given.
  void StoreProfile(int mprf, const std::string& sapp, const std::string& tapp, int parent = 0) const {
    auto vrc = [](int n) { return TestVrc{"X" + std::to_string(n), "c", "ab1"}; };
    const TestProfile up{.mprf = parent, .sapp = sapp, .tapp = tapp, .vrc = vrc(parent), .base = std::nullopt};
    TestProfile p{.mprf = mprf, .sapp = sapp, .tapp = tapp, .vrc = vrc(mprf), .base = std::nullopt};
    if (parent) p.base = up.vrc;
    store_->AddProfile(p, parent ? std::vector<const TestProfile*>{&up} : std::vector<const TestProfile*>{});
  }
  // A chain pack: 5 on A, B derived from 3 on A, B, child first as the export
  // writes them; A a base and B an extension application.
  void WritePack(const Rows& headers = {Header(5, "A", "B"), Header(3, "A", "B")},
                 const Rows& chains = {{"5", "1", "X5", "c", "ab1", "5"}, {"5", "2", "X3", "c", "ab1", "3"},
                                       {"3", "1", "X3", "c", "ab1", "3"}},
                 const std::string& new_profile = "ExportToNewProfile=0") const {
    WriteFile(Pack() + "/Qzmap100.dat", RowLines(headers));
    WriteFile(Pack() + "/Qzmap101.dat", RowLines(chains));
    WriteFile(Pack() + "/qzddi100A.dat", RowLines({{"A", "Application A", "0"}}));
    WriteFile(Pack() + "/qzddi100B.dat", RowLines({{"B", "Application B", "1"}}));
    WriteManifest("SUCCESS|" + kHeaderFile + "|--APPLS--|A|B|--ENDAPPLS--|ExportRevisions=0|" + new_profile +
                  "|ExportForSyn=0|Exporting Migration Profile 5 Started at 2026-01-02   10:11:12");
  }
  static std::vector<std::string> Header(int mprf, const std::string& sapp, const std::string& tapp) {
    const std::string n = std::to_string(mprf);
    return {n, sapp, tapp, "X" + n, "c", "ab1", "", "", "", "Profile " + n, "Y", "1", "owner", "", "", "", "", "apln"};
  }
  // The lines given with "|" between them, written with CR LF between them and none after the last.
  void WriteManifest(const std::string& lines) const {
    const std::string all = RowLines({text::Split(lines, "|")}, "\r\n");
    WriteFile(Pack() + "/ExportMR.log", all.substr(0, all.size() - 2));
  }
  std::string Show() {
    std::string details = "untouched";
    if (!object_->ShowLogicPackDetails(details)) return "refused " + std::to_string(object_->get_ErrorNumber()) + ": " +
                                                          object_->get_ErrorDescription() + " / " + details;
    return details;
  }

  std::unique_ptr<Kestrel20ImpExp::clsImport> object_;
};

// Each row writes a pack (and stores rows) and names the proposal, or the
// refusal that must leave the details untouched ("@" stands for the pack folder);
// a missing folder and a bad application code are the command line's rows.
TEST_F(SelectionTest, TheProposalListsThePackBaseFirstAndMarksWhatTheStoreHoldsOrRefusesABrokenPack) {
  const std::string corrupt = "refused 4: ShowLogicPackDetails - Incorrect log file or log file corrupted";
  const std::string short_data = "refused 100: Import Migration Profile - ";
  const std::string not_enough = ".dat file is not having enough data or file is corrupted";
  const std::string chain = Details({"3|A|B|0|0|1", "5|A|B|3|0|1"}, {"3|A|B|0*|0|1", "5|A|B|3*|0|1"});
  const std::vector<std::pair<std::function<void()>, std::string>> rows = {
      // Nothing stored: the root's parent "0*" and the stored parent's number marked.
      {[] {}, chain},
      {[&] { StoreApplication("A", 0), StoreApplication("B", 1), StoreProfile(3, "A", "B"); },
       Details({"3|A|B|0|0|1", "5|A|B|3|0|1"}, {"3*|A*|B*|0*|0|1", "5|A*|B*|3|0|1"})},
      // An announced number takes its parent from the store.
      {[&] {
         WritePack({Header(5, "A", "B")}, {{"5", "1", "X5", "c", "ab1", "5"}}, "ExportToNewProfile=7");
         StoreProfile(4, "C", "D"), StoreProfile(7, "C", "D", 4);
       },
       Details({"5|A|B|0|0|1"}, {"7*|A|B|4|0|1"})},
      // A stored profile's parent comes from the store when the pack has none.
      {[&] { WritePack({Header(8, "A", "B")}, {{"8", "1", "X8", "c", "ab1", "8"}}), StoreProfile(6, "A", "B"),
             StoreProfile(8, "A", "B", 6); },
       Details({"8|A|B|6|0|1"}, {"8*|A|B|6|0|1"})},
      {[&] { WriteFile(Pack() + "/qzddi100A.dat", ""); },
       Details({"3|A|B|0|-1|1", "5|A|B|3|-1|1"}, {"3|A|B|0*|-1|1", "5|A|B|3*|-1|1"})},
      // Two unrelated roots in file order 5, 3.
      {[&] { WritePack({Header(5, "A", "B"), Header(3, "B", "A")}, {{"5", "1", "X5", "c", "ab1", "5"}}); },
       Details({"3|B|A|0|1|0", "5|A|B|0|0|1"}, {"3|B|A|0*|1|0", "5|A|B|0*|0|1"})},
      // A status neither SUCCESS nor ERRORS skips the file list.
      {[&] { WriteManifest("PARTIAL|--APPLS--|A|B|--ENDAPPLS--|" + kNoFlags); }, chain},
      {[&] { std::filesystem::remove(Pack() + "/ExportMR.log"); },
       "refused 2: ShowLogicPackDetails - Log File Missing ExportMR.log"},
      {[&] { WriteManifest("ERRORS|" + kHeaderFile + "|--APPLS--|--ENDAPPLS--|" + kNoFlags); },
       "refused 3: ShowLogicPackDetails - Exported Objects are incorrect"},
      {[&] { WriteManifest("SUCCESS|--TESTFILES--|Qzmap120.dat|--END TESTFILES--|--APPLS--|--ENDAPPLS--|" +
                           kNoFlags); },
       "refused 5: ShowLogicPackDetails - At least one or more data files are missing.Qzmap120.dat"},
      {[&] { WriteManifest("SUCCESS|--APPLS--|A|--ENDAPPLS--|" + kNoFlags); }, corrupt},
      {[&] { WriteManifest("SUCCESS|--TESTFILES--|--END TESTFILES--|--APPLS--|--ENDAPPLS--|ExportRevisions=2|"
                           "ExportToNewProfile=0"); }, corrupt},
      {[&] { WriteManifest("PARTIAL|" + kHeaderFile + "|--APPLS--|--ENDAPPLS--|" + kNoFlags); },
       corrupt},
      {[&] { WriteManifest("SUCCESS|--TESTFILES--|Qzmap100.dat"); },
       "refused 62: Input past end of file: @/ExportMR.log ends after line 3"},
      {[&] { auto h = Header(5, "A", "B"); h.pop_back(); WriteFile(Pack() + "/Qzmap100.dat", RowLines({h})); },
       short_data + "Qzmap100" + not_enough},
      {[&] { std::filesystem::remove(Pack() + "/qzddi100B.dat"); }, short_data + "qzddi100" + not_enough},
  };
  for (size_t k = 0; k < rows.size(); ++k) {
    SCOPED_TRACE(rows[k].second);
    Fresh("pack" + std::to_string(k));
    object_ = NewImport(*store_, Pack());
    WritePack();
    rows[k].first();
    const std::string shown = Show();
    std::string says = rows[k].second;
    if (const size_t at = says.find('@'); at != std::string::npos) says.replace(at, 1, Pack());
    if (says.starts_with("refused ")) {
      EXPECT_EQ(shown.substr(0, says.size()), says) << shown;
      EXPECT_TRUE(shown.ends_with(" / untouched")) << shown;
    } else {
      EXPECT_EQ(shown, says);
    }
  }
  EXPECT_THAT(Log(), ::testing::Contains("Sorting array ..."));
  // A store that fails is reported with its own number.
  WritePack({Header(5, "A", "B")}, {{"5", "1", "X5", "c", "ab1", "5"}}, "ExportToNewProfile=7");
  StoreProfile(7, "A", "B");
  store_->Exec("drop table qzmap101");
  EXPECT_THAT(Show(), ::testing::AllOf(::testing::StartsWith("refused "), ::testing::HasSubstr("qzmap101")));
}

// The store for the verification: A a base and B, C extension applications,
// D a base one, and profile 12 on A, B.
TEST_F(SelectionTest, VerificationReportsEveryProblemWithItsNumberInOneCall) {
  StoreApplication("A", 0), StoreApplication("B", 1), StoreApplication("C", 1), StoreApplication("D", 0);
  StoreProfile(12, "A", "B");
  const auto greater = [](const std::string& n, const std::string& p) {
    return "Profile Number (" + n + ") should be greater than the derived from profile (" + p + ") ." + kBr;
  };
  const auto mixed = [](const std::string& p, const std::string& n) {
    return "Profile Number " + p + " can not be parent profile for " + n +
           " as it will create a hetrogenous derivation structure." + kBr;
  };
  const auto unrelated = [](const std::string& n) {
    return "Profiles 12 already exists with the application combination A, B. You have to derive an update profile for " +
           n + " from existing profiles." + kBr;
  };
  const std::string repeats = "Profile Number 12 repeats in the target selection." + kBr;
  const std::string subscript = "Unexpected Error.Error Number: 9Description: Subscript out of range";
  struct Row {
    std::vector<std::string> targets;
    std::string message;  // "" when the selection passes
    int number;           // the last check's number
    size_t sources = 0;   // the source list's length when it differs
  };
  const std::vector<Row> rows = {
      {{"12|X|Y|0|0|0", "12|X|Y|14|0|0"}, repeats + greater("12", "14") + kBr, 502},
      {{"12|X|Y|0|0|0", "012|X|Y|0|0|0"}, "", 0},  // repeats are compared as text
      {{"5|X|Y|7|0|0", "7|X|Y|7|0|0"}, greater("5", "7") + greater("7", "7") + kBr, 502},
      {{"0|X|Y|0|0|0"}, greater("0", "0") + kBr, 502},
      // The source side is looked at first, the target side only when it passed.
      {{"20|A|B|12|1|0"}, mixed("12", "20") + kBr, 503},
      {{"20|A|B|12|0|0"}, mixed("12", "20") + kBr, 503},
      {{"20|A|B|12|0|1"}, "", 0},
      // A parent listed before its child is taken from the list, after it from the store.
      {{"30|C|D|0|1|0", "40|C|D|30|1|1"}, mixed("30", "40") + kBr, 503},
      {{"20|C|D|12|1|0", "12|C|D|0|1|0"}, mixed("12", "20") + kBr, 503},
      {{"12|C|D|0|1|0", "20|C|D|12|1|0"}, "", 0},
      {{"30|M|N|0|0|0", "40|M|N|30|1|1"}, "", 0},  // kinds of applications not stored are not checked
      {{"20|A|B|0|0|1"}, unrelated("20") + kBr, 504},
      {{"12|A|B|0|0|1"}, "", 0},
      {{"20|A|B|1|0|1"}, "", 0},  // containment is a text test: 1 is in "12"
      {{"20|A|B|0|0|1", "20|A|B|25|0|1"},
       "Profile Number 20 repeats in the target selection." + kBr + greater("20", "25") + unrelated("20") +
           unrelated("20") + kBr, 504},
      {{"9|X|Y|0|0|0", "9|X|Y|0|0|0"},
       "The user selection is not complete.3 profiles are present in source, and 2 profiles are present in target." +
           kBr + "Profile Number 9 repeats in the target selection." + kBr, 501, 3},
      {{"3|A|B|0|0"}, subscript, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.targets[0] + (row.targets.size() > 1 ? " " + row.targets[1] : ""));
    std::vector<std::string> sources;
    for (size_t i = 0; i < (row.sources ? row.sources : row.targets.size()); ++i)
      sources.push_back(std::to_string(100 + i) + "|P|Q|0|0|0");
    std::string out, message;
    EXPECT_EQ(object_->VerifyUserSelections(Details(sources, row.targets), out, message), row.message.empty());
    EXPECT_EQ(message, row.message);
    if (row.number) {
      EXPECT_EQ(object_->get_ErrorNumber(), row.number);
    }
  }
  // The later check's number stands with its own buffer as the description, which the run log holds.
  std::string out, message;
  ClearLog();
  object_->VerifyUserSelections(Details({"1|P|Q|0|0|0", "2|P|Q|0|0|0"}, {"12|X|Y|0|0|0", "12|X|Y|14|0|0"}), out, message);
  EXPECT_EQ(object_->get_ErrorDescription(), greater("12", "14"));
  EXPECT_EQ(Log().back(), greater("12", "14"));
  // Details without a second line, or without any entry.
  EXPECT_FALSE(object_->VerifyUserSelections("3|A|B|0|0|1", out, message));
  EXPECT_EQ(message + "/" + out, subscript + "/3|A|B|0|0|1");
  EXPECT_FALSE(object_->VerifyUserSelections("\r", out, message));
  EXPECT_EQ(object_->get_ErrorNumber(), 9043);
  EXPECT_THAT(message, ::testing::HasSubstr("names no profile to import"));
}

TEST_F(SelectionTest, ImportLogicPackRefusesBadSelectionsBeforeThePack) {
  WritePack();
  const std::string report = "Unexpected Error.Error Number: ";
  const std::vector<std::tuple<std::string, std::string, int, bool>> rows = {
      {Details({"1|A|B|0|0|1", "2|A|B|1|0|1", "3|A|B|2|0|1"}, {"11|A|B|0|0|1", "12|A|B|11|0|1"}),
       "Source and target number of profiles differ.", 505, true},
      {Details({"3|A|B|0|0|1"}, {"5|A|B|7|0|1"}), "Profile Number (5) should be greater than the derived from profile (7) ." + kBr, 502, true},
      {"3|A|B|0|0|1", report + "9Description: Subscript out of range", 0, false},
  };
  for (const auto& [details, says, number, logged] : rows) {
    SCOPED_TRACE(says);
    ClearLog();
    s_->r = {};
    std::string in = details, message;
    EXPECT_FALSE(importer::ImportLogicPack(s_->o, s_->cx, s_->r, in, message));
    EXPECT_EQ(message, says);
    EXPECT_EQ(s_->r.Error.ErrorDescription, says);
    EXPECT_EQ(s_->r.Error.NumberAsRead(), number);
    EXPECT_EQ(std::ranges::count(Log(), says) > 0, logged);
    EXPECT_EQ(s_->r.Plan.Size, -1);
  }
  WriteManifest("SUCCESS|--TESTFILES--|Qzmap100.dat");
  std::string in = Details({"3|A|B|0|0|1"}, {"13|A|B|0|0|1"}), message;
  EXPECT_FALSE(importer::ImportLogicPack(s_->o, s_->cx, s_->r, in, message));
  EXPECT_EQ(message, report + "100Description: ExportMR.log could not be read.");
}

TEST_F(SelectionTest, ImportLogicPackLogsItsPlanThenChecksThePack) {
  WritePack();
  WriteFile(Pack() + "/Qzmap105.dat",
            RowLines({{"5", "X5", "c", "ab1", "d5", "c", "db1"}, {"3", "X3", "c", "ab1", "d3", "c", "db1"}}));
  const std::string details = Details({"3|A|B|0|0|1", "5|A|B|3|0|1"}, {"13|A|B|0|0|1", "15|A|B|13|0|1"});
  std::string in = details, message;
  EXPECT_FALSE(importer::ImportLogicPack(s_->o, s_->cx, s_->r, in, message));
  // The pack's application rows are narrower than their table: the check
  // before the first delete refuses it, after the plan.
  const std::string data_file = Pack() + "/qzddi100A.dat";
  EXPECT_EQ(s_->r.Error.NumberAsRead(), static_cast<int16_t>(Number(Ours::MalformedPackFile)));
  EXPECT_EQ(s_->r.Error.ErrorDescription, "A pack file holds a line outside its format: " + data_file +
                                                  ", line 1: a row of 3 fields where 5 are required, found "
                                                  "\"A\\x01Application A\\x010\"");
  const std::string refused = "Logic pack refused before anything was deleted: " + data_file + ", line 1";
  EXPECT_EQ(message, s_->r.Error.ErrorDescription + " (" + refused + ")");
  const auto& p = s_->r.Plan;
  EXPECT_THAT(p.TargetProfiles[1], ElementsAre(0, 13));
  EXPECT_THAT(p.DevelopmentVRCs, ElementsAre("__", "__"));  // the manifest says no revision information
  EXPECT_EQ(s_->r.Manifest.applications, "A|B");
  // The plan as read and as chosen, then the check.
  const std::string header = "Source Profile Number | Source Application | Target Application| Parent Profile Number ";
  const auto log = Log();
  EXPECT_THAT(std::vector(log.begin() + 5, log.end() - 2),
              ElementsAre(header, "0---->3|A|B|0", "1---->5|A|B|3", header, "0---->13|A|B|0", "1---->15|A|B|13",
                          "Development VRC", "0---->", "1---->", "Importing Logic pack ...", "Checking logic pack ...",
                          s_->r.Error.ErrorDescription, refused));
  EXPECT_EQ(log.back(), std::string(importer::kImportRolledBack));

  // With revision information the plan holds each profile's development VRC.
  WriteManifest("SUCCESS|--TESTFILES--|--END TESTFILES--|--APPLS--|A|B|--ENDAPPLS--|ExportRevisions=1|"
                "ExportToNewProfile=0|ExportForSyn=0");
  in = details;
  importer::ImportLogicPack(s_->o, s_->cx, s_->r, in, message);
  EXPECT_THAT(s_->r.Plan.DevelopmentVRCs, ElementsAre("d3_c_db1", "d5_c_db1"));
  EXPECT_THAT(Log(), ::testing::Contains("1---->d5|c|db1"));

  std::vector<std::string> vrc = {"stale"};
  int32_t mprf = 9;
  ASSERT_TRUE(importer::GetDevelopmentVRC(s_->o, s_->cx, s_->r.Manifest, s_->r.Error, mprf, vrc));
  EXPECT_THAT(vrc, ElementsAre("", "", ""));
  std::filesystem::remove(Pack() + "/Qzmap105.dat");
  EXPECT_FALSE(importer::GetDevelopmentVRC(s_->o, s_->cx, s_->r.Manifest, s_->r.Error, mprf, vrc));
  EXPECT_EQ(s_->r.Error.NumberAsRead(), 299);
  EXPECT_EQ(s_->r.Error.ErrorDescription, "Could Not get Development VRC");
  s_->r.Manifest.revisions = false;
  EXPECT_FALSE(importer::GetDevelopmentVRC(s_->o, s_->cx, s_->r.Manifest, s_->r.Error, mprf, vrc));
  EXPECT_EQ(s_->r.Error.ErrorDescription, "The profile is not SCM Enabled.");
}

}  // namespace
}  // namespace kestrel::testing
