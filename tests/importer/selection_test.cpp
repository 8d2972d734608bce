// The user's selection before anything is imported where the command line's
// rows do not reach: the numbers of a broken pack's refusals, the verification
// messages of target entries, and a profile's development VRC.
#include <gtest/gtest.h>

#include <functional>

#include "base/text.h"
#include "import_fixture.h"
#include "kestrel/details.h"
#include "importer/selection.h"
#include "support/error_of.h"
#include "importer/entry_points.h"

namespace kestrel::testing {
namespace {

const std::string kBr = "<BR>";
// Parts of a manifest, lines joined by "|".
const std::string kNoFlags = "ExportRevisions=0|ExportToNewProfile=0|ExportForSyn=0";
const std::string kHeaderFile = "--TESTFILES--|Qzmap100.dat|--END TESTFILES--";

class SelectionTest : public ImportFixture {
 protected:
  const std::string& Pack() const { return s_->o.Path; }
  // A chain pack: 5 on A, B derived from 3 on A, B, child first as the export
  // writes them; A a base and B an extension application.
  void WritePack() const {
    auto header = [](const std::string& n) {
      return std::vector<std::string>{n, "A", "B", "X" + n, "c", "ab1", "", "", "", "Profile " + n, "Y", "1",
                                      "owner", "", "", "", "", "apln"};
    };
    WriteFile(Pack() + "/Qzmap100.dat", RowLines({header("5"), header("3")}));
    WriteFile(Pack() + "/Qzmap101.dat", RowLines({{"5", "1", "X5", "c", "ab1", "5"}, {"5", "2", "X3", "c", "ab1", "3"},
                                                  {"3", "1", "X3", "c", "ab1", "3"}}));
    WriteFile(Pack() + "/qzddi100A.dat", RowLines({{"A", "Application A", "0"}}));
    WriteFile(Pack() + "/qzddi100B.dat", RowLines({{"B", "Application B", "1"}}));
    WriteManifest("SUCCESS|" + kHeaderFile + "|--APPLS--|A|B|--ENDAPPLS--|" + kNoFlags +
                  "|Exporting Migration Profile 5 Started at 2026-01-02   10:11:12");
  }
  // The lines given with "|" between them, written with CR LF between them and none after the last.
  void WriteManifest(const std::string& lines) const {
    const std::string all = RowLines({text::Split(lines, "|")}, "\r\n");
    WriteFile(Pack() + "/ExportMR.log", all.substr(0, all.size() - 2));
  }
  std::unique_ptr<Kestrel20ImpExp::clsImport> object_;
};

// Each row spoils the chain pack and names the refusal, which leaves the
// details untouched; the refusals the command line pins are its rows.
TEST_F(SelectionTest, ABrokenPackIsRefusedWithItsNumberBeforeAnyProposal) {
  const std::vector<std::pair<std::function<void()>, std::string>> rows = {
      {[&] { std::filesystem::remove(Pack() + "/ExportMR.log"); },
       "2: ShowLogicPackDetails - Log File Missing ExportMR.log"},
      {[&] { WriteManifest("ERRORS|" + kHeaderFile + "|--APPLS--|--ENDAPPLS--|" + kNoFlags); },
       "3: ShowLogicPackDetails - Exported Objects are incorrect"},
      // The manifest names only one of the pack's two applications.
      {[&] { WriteManifest("SUCCESS|--APPLS--|A|--ENDAPPLS--|" + kNoFlags); },
       "4: ShowLogicPackDetails - Incorrect log file or log file corrupted"},
      {[&] { WriteManifest("SUCCESS|--TESTFILES--|Qzmap120.dat|--END TESTFILES--|--APPLS--|--ENDAPPLS--|" +
                           kNoFlags); },
       "5: ShowLogicPackDetails - At least one or more data files are missing.Qzmap120.dat"},
      {[&] { std::filesystem::remove(Pack() + "/qzddi100B.dat"); },
       "100: Import Migration Profile - qzddi100.dat file is not having enough data or file is corrupted"},
      // A host that did not allow a pack without sums (the C interface's
      // and the wizard's default) is refused it before the manifest is read.
      {[&] { object_->SetAllowPackWithoutSums(false); },
       "9053: The logic pack has no ExportMR.sums: its integrity cannot be checked: "},
  };
  for (size_t k = 0; k < rows.size(); ++k) {
    SCOPED_TRACE(rows[k].second);
    Fresh("pack" + std::to_string(k));
    object_ = NewImport(*store_, Pack());
    object_->SetAllowPackWithoutSums(true);  // packs as an older export wrote them
    WritePack();
    rows[k].first();
    std::string details = "untouched";
    EXPECT_FALSE(object_->ShowLogicPackDetails(details));
    // (the texts that end in the pack folder's path, up to it)
    EXPECT_EQ((std::to_string(object_->get_ErrorNumber()) + ": " + object_->get_ErrorDescription())
                  .substr(0, rows[k].second.size()),
              rows[k].second);
    EXPECT_EQ(details, "untouched");
  }
}

// The store: A a base and B an extension application, and profile 12 on A, B.
TEST_F(SelectionTest, VerificationReportsEveryProblemWithItsNumberInOneCall) {
  store_->Add("qzddi100", {{"appl", "A"}, {"extn", 0}});
  store_->Add("qzddi100", {{"appl", "B"}, {"extn", 1}});
  store_->AddProfile({.mprf = 12, .sapp = "A", .tapp = "B", .vrc = {"X12", "c", "ab1"}, .base = std::nullopt});
  struct Row { std::vector<std::string> targets; size_t sources; std::string message; int number; };  // sources: a count
  const std::vector<Row> rows = {
      {{"9|X|Y|0|0|0", "9|X|Y|0|0|0"}, 3,
       "The user selection is not complete.3 profiles are present in source, and 2 profiles are present in target." +
           kBr + "Profile Number 9 repeats in the target selection." + kBr, 501},
      // A base application's profile cannot derive from one on a base and an extension.
      {{"20|A|B|12|1|0"}, 1,
       "Profile Number 12 can not be parent profile for 20 as it will create a hetrogenous derivation structure." +
           kBr + kBr, 503},
      // A parent listed before its child lends it its applications, whatever is listed before the parent.
      {{"2|A|A|0|0|0", "3|B|A|0|1|0", "5|B|A|3|1|0"}, 2,
       "The user selection is not complete.2 profiles are present in source, and 3 profiles are present in "
       "target." + kBr, 0},
      // An unexpected failure sets its own number too, as every failure does.
      {{"3|A|B|0|0"}, 1, "Unexpected Error.Error Number: 9Description: Subscript out of range", 9},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    std::vector<std::string> sources;
    for (size_t i = 0; i < row.sources; ++i) sources.push_back(std::to_string(100 + i) + "|P|Q|0|0|0");
    std::string out, message;
    object_ = NewImport(*store_, Pack());
    // The details: the source list, CR, the target list.
    const std::string details = importer::JoinList(sources) + "\r" + importer::JoinList(row.targets);
    EXPECT_FALSE(object_->VerifyUserSelections(details, out, message));
    EXPECT_EQ(message, row.message);
    EXPECT_EQ(object_->get_ErrorNumber(), row.number);
  }
  // A store that cannot answer fails the verification at its first look-up,
  // in the store's words: a selection is never passed unchecked.
  store_->Exec("drop table qzmap100");
  std::string out, message;
  object_ = NewImport(*store_, Pack());
  EXPECT_FALSE(object_->VerifyUserSelections("20|A|B|0|0|1\r20|A|B|0|0|1", out, message));
  EXPECT_EQ(message.rfind("Unexpected Error.Error Number: ", 0), 0u) << message;
  EXPECT_NE(message.find("qzmap100"), std::string::npos) << message;
  EXPECT_NE(object_->get_ErrorNumber(), 0);
}

// The run log and the handed-back details show a selection as the host wrote
// it: typed entries give every details string back byte for byte, whatever
// its fields, and a field an entry lacks fails where it is read.
TEST(SelectionEntryTest, ADetailsStringComesBackAsItWentIn) {
  const struct { std::string details; size_t fields; } kRows[] = {  // fields: of the first target entry
      {"10|A|B|0|0|1\x01" "20|A|B|10|0|1\r10|A|B|0|0|1\x01" "20|A|B|10|0|1", 6},
      {"1|A|B|0|0|1\r 012|A*|B|0*|0|1|seventh|", 6},  // blanks, markers, fields after the sixth
      {"1|A\r3|A|B", 3},
      {"\x01\r\x01", 0},  // two empty entries in each list
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.details);
    const importer::SelectionLists lists = importer::ParseSelection(row.details);
    EXPECT_EQ(importer::DetailsText(lists), row.details);
    const importer::SelectionEntry& first = lists.targets.at(0);
    EXPECT_EQ(first.given, row.fields);
    if (row.fields < 6) {
      EXPECT_EQ(ErrorOf([&] { first.Field(row.fields); }), rt::SubscriptOutOfRange);
    }
  }
  EXPECT_EQ(ErrorOf([] { importer::ParseSelection("10|A|B|0|0|1"); }), rt::SubscriptOutOfRange);  // no target line
  // Typed targets through their details string and back, the markers as
  // stored fields (a root's "0*" marks no missing parent).
  const std::vector<Target> targets = {{10, "A", "B", 0, "0", "1", {true, true, false, false}},
                                       {20, "A", "B", 10, "0", "1", {false, false, true, true}}};
  const std::string details = DetailsOf({PackProfile{10, "A", "B", 0, 1, {}, "", "0", "1"}}, targets);
  EXPECT_EQ(details, "10|A|B|0|0|1\r10*|A*|B|0*|0|1\x01" "20|A|B*|10*|0|1");
  EXPECT_EQ(TargetsOf(details), targets);
}

// A profile the development VRC file does not list has none; without the
// file or revision information it fails.
TEST_F(SelectionTest, TheDevelopmentVrcIsEmptyForAProfileTheFileDoesNotList) {
  WriteFile(Pack() + "/Qzmap105.dat", RowLines({{"5", "X5", "c", "ab1", "d5", "c", "db1"}}));
  s_->r.Manifest.revisions = true;
  for (const auto& [mprf, expected] : {std::pair{9, std::vector<std::string>{"", "", ""}}, {5, {"d5", "c", "db1"}}})
    EXPECT_EQ(importer::GetDevelopmentVRC(s_->o, s_->cx, s_->r.Manifest, mprf), expected);
  std::filesystem::remove(Pack() + "/Qzmap105.dat");
  auto failure = [&] {
    const Error e = CaughtFrom([&] { importer::GetDevelopmentVRC(s_->o, s_->cx, s_->r.Manifest, 5); });
    return std::to_string(e.number()) + e.text();
  };
  EXPECT_EQ(failure(), "299Could Not get Development VRC");
  s_->r.Manifest.revisions = false;
  EXPECT_EQ(failure(), "250The profile is not SCM Enabled.");
}

}  // namespace
}  // namespace kestrel::testing
