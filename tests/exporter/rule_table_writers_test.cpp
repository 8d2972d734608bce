// The rule table writers: their query texts, the development VRC exclusion,
// empty selections, the checked-out warning and the traps' tags.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "base/files.h"
#include "exporter/export_store.h"
#include "exporter/rule_table_writers.h"
#include "pack/layout.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

using ::testing::ElementsAre;
using exporter::RuleTableMemberOf;
using kestrel::testing::ReadFile;

const std::string kExclusion =
    "( vers + rele + cust not in ( select dver + drel + dcus from qzmap105 where mprf in (40,31,12)))";

TEST(RuleTableQueries, TSqlTextsAreTheComponentsOwn) {
  const std::vector<int64_t> chain{40, 31, 12};
  struct Case {
    const char* procedure;
    std::string normal, sync;
  };
  const std::vector<Case> cases = {
      {"ExportQzmap101", "select * from qzmap101 where mprf in (40,31,12)",
       "select * from qzmap101 where mprf in (40,31,12)"},
      {"ExportQzmap105", "select * from qzmap105 where mprf in (40,31,12)",
       "select * from qzmap105 where mprf in (40,31,12)"},
      // The five current rule tables: a blank after the list, then " and " of the exclusion.
      {"ExportQzmap120", "select * from qzmap120 where mprf in (40,31,12)  and " + kExclusion,
       "select * from qzmap120 where mprf in (40,31,12) "},
      {"ExportQzmap130", "select * from qzmap130 where mprf in (40,31,12)  and " + kExclusion,
       "select * from qzmap130 where mprf in (40,31,12) "},
      {"ExportQzmap140", "select * from qzmap140 where mprf in (40,31,12)  and " + kExclusion,
       "select * from qzmap140 where mprf in (40,31,12) "},
      {"ExportQzmap160", "select * from qzmap160 where mprf in (40,31,12)  and " + kExclusion,
       "select * from qzmap160 where mprf in (40,31,12) "},
      {"ExportQzmap170", "select * from qzmap170 where mprf in (40,31,12)  and " + kExclusion,
       "select * from qzmap170 where mprf in (40,31,12) "},
      {"ExportQzmap110", "select * from qzmap110 where mprf in (40,31,12)",
       "select * from qzmap110 where mprf in (40,31,12)"},
      {"ExportQzmap125", "select * from qzmap125 where mprf in (40,31,12)",
       "select * from qzmap125 where mprf in (40,31,12)"},
      {"ExportQzmap135", "select * from qzmap135 where mprf in (40,31,12)",
       "select * from qzmap135 where mprf in (40,31,12)"},
      {"ExportQzmap145", "select * from qzmap145 where mprf in (40,31,12)",
       "select * from qzmap145 where mprf in (40,31,12)"},
      {"ExportQzmap165", "select * from qzmap165 where mprf in (40,31,12)",
       "select * from qzmap165 where mprf in (40,31,12)"},
      {"ExportQzmap175", "select * from qzmap175 where mprf in (40,31,12)",
       "select * from qzmap175 where mprf in (40,31,12)"},
  };
  ASSERT_EQ(exporter::RuleTableMembers().size(), cases.size());
  for (const auto& c : cases) {
    const auto& m = RuleTableMemberOf(c.procedure);
    EXPECT_EQ(exporter::RuleTableQuery(m, store::Dialect::TSql, chain, false), c.normal) << c.procedure;
    EXPECT_EQ(exporter::RuleTableQuery(m, store::Dialect::TSql, chain, true), c.sync) << c.procedure;
  }
  EXPECT_EQ(exporter::RuleTableQuery(RuleTableMemberOf("ExportQzmap130"), store::Dialect::TSql,
                                   std::vector<int64_t>{12}, true),
            "select * from qzmap130 where mprf in (12) ");
}

TEST(RuleTableQueries, MembersNameTheirFilesAndTagsWithTheirOwnCase) {
  std::set<std::string> files, tags;
  for (const auto& m : exporter::RuleTableMembers()) {
    files.insert(std::string(m.file));
    tags.insert("--" + std::string(m.tag) + "--");
  }
  EXPECT_EQ(files, (std::set<std::string>{"Qzmap101.dat", "Qzmap105.dat", "Qzmap110.dat", "Qzmap120.dat",
                                          "Qzmap125.dat", "Qzmap130.dat", "Qzmap135.dat", "Qzmap140.dat",
                                          "Qzmap145.dat", "Qzmap160.dat", "Qzmap165.dat", "qzmap170.dat",
                                          "qzmap175.dat"}));
  EXPECT_EQ(tags, (std::set<std::string>{"--Qzmap101--", "--Qzmap105--", "--Qzmap110--", "--Qzmap120--",
                                         "--Qzmap125--", "--Qzmap130--", "--Qzmap135--", "--Qzmap140--",
                                         "--Qzmap145--", "--Qzmap160--", "--Qzmap165--", "--qzmap170--",
                                         "--qzmap175--"}));
}

const TestObject kCust{"AR", "CUST", "010"};
const TestObject kInvc{"AR", "INVC", "020"};
const TestProfile kRoot{5, "BAS", "EXT", {"X40", "c", "ab1"}, std::nullopt, "Y"};
const TestProfile kChild{7, "BAS", "EXT", {"X41U", "c", "ab1"}, TestVrc{"X40", "c", "ab1"}, "Y"};
const TestVrc kChildDevelopment{"dX41U", "c", "dab1"};

// Rules of root 5 and child 7; the child also holds a rule in its
// development VRC, which a normal pack leaves out.
class RuleTableWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    store.AddProfile(kRoot);
    store.AddProfile(kChild, {&kRoot});
    store.AddDevelopmentVrc(kChild, kChildDevelopment);
    store.AddRule120(5, kRoot.vrc, kCust, "root CUST");
    store.AddRule120(7, kChild.vrc, kInvc, "child INVC", "bsmith");
    store.AddRule120(7, kChildDevelopment, kInvc, "child INVC in development");
    store.AddOtherRules(7, kChildDevelopment, kInvc, "development other");
    store.AddOtherRules(5, kRoot.vrc, kCust, "root other");
    ctx.DataConnection = store.connection();
    ctx.PackFolder = store.root();
  }
  bool Run(const char* procedure, const std::string& profiles = "7 5") {
    return exporter::ExportRuleTable(ctx, r, RuleTableMemberOf(procedure), profiles, for_sync);
  }
  std::vector<std::string> Listed() const {
    std::vector<std::string> out;
    for (size_t pos = 0; pos < r.RuleFileList.size();) {
      size_t end = r.RuleFileList.find("\r\n", pos);
      out.push_back(r.RuleFileList.substr(pos, end - pos));
      pos = end + 2;
    }
    return out;
  }

  ExportStore store;
  exporter::ExportContext ctx{Env::Default()};
  exporter::ExportResults r;
  bool for_sync = false;
};

TEST_F(RuleTableWriters, DevelopmentVrcRowsStayOutOfANormalPack) {
  for (const char* procedure : {"ExportQzmap120", "ExportQzmap130", "ExportQzmap140", "ExportQzmap160",
                                "ExportQzmap170"})
    ASSERT_TRUE(Run(procedure)) << procedure << ": " << r.Error.ErrorDescription;
  auto rules = RecordsOf(ctx.PackFolder, pack::kQzmap120);
  EXPECT_THAT(ColumnOf(rules, "prtx"), ElementsAre("child INVC", "root CUST"));
  EXPECT_THAT(ColumnOf(rules, "mprf"), ElementsAre("5", "7")) << "each row keeps its own profile";
  EXPECT_THAT(ColumnOf(rules, "ldat"), ElementsAre("2022-05-06 07:08:09", "2022-05-06 07:08:09"));
  EXPECT_THAT(ColumnOf(RecordsOf(ctx.PackFolder, pack::kQzmap130), "qury"), ElementsAre("root other"));
  EXPECT_THAT(ColumnOf(RecordsOf(ctx.PackFolder, pack::kQzmap170), "bflno"), ElementsAre("root other"));
  EXPECT_THAT(Listed(), ElementsAre("Qzmap120.dat", "Qzmap130.dat", "Qzmap140.dat", "Qzmap160.dat", "qzmap170.dat"));
  EXPECT_TRUE(files::FileExists(Env::Default(), ctx.PackFolder + "/qzmap170.dat")) << "the chain pack names it in lower case";
  // A normal record: 21 lines after "MO" for one-line blocks, here 22 with the two-line comment.
  auto lines = LinesOf(ctx.PackFolder + "/Qzmap120.dat");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "MO"), 2);
  EXPECT_EQ(lines.size(), 2u * 23u);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind(":LOGN:", 0) == 0; }),
            0);
}

TEST_F(RuleTableWriters, ASynchronisationPackCarriesThemWithUserLines) {
  for_sync = true;
  ASSERT_TRUE(Run("ExportQzmap120")) << r.Error.ErrorDescription;
  ASSERT_TRUE(Run("ExportQzmap130")) << r.Error.ErrorDescription;
  auto rules = RecordsOf(ctx.PackFolder, pack::kQzmap120, /*for_sync=*/true);
  EXPECT_THAT(ColumnOf(rules, "prtx"), ElementsAre("child INVC", "child INVC in development", "root CUST"));
  EXPECT_THAT(ColumnOf(rules, "lusr"), ElementsAre("planner", "planner", "planner"));
  EXPECT_THAT(ColumnOf(rules, "logn"), ElementsAre("", "", "bsmith"));
  EXPECT_EQ(LinesOf(ctx.PackFolder + "/Qzmap120.dat").size(), 3u * 25u);
  EXPECT_THAT(ColumnOf(RecordsOf(ctx.PackFolder, pack::kQzmap130), "qury"), ElementsAre("development other", "root other"));
}

TEST_F(RuleTableWriters, ACheckedOutRuleIsWrittenWithAWarning) {
  ASSERT_TRUE(Run("ExportQzmap120"));
  EXPECT_EQ(ctx.ManifestText, "\tObject Exported 7-ARINVC020 but was Checked out by user bsmith\r\n");
  store.Exec("update qzmap120 set logn='' where mprf=7");
  ctx.ManifestText.clear();
  ASSERT_TRUE(Run("ExportQzmap120"));
  EXPECT_EQ(ctx.ManifestText, "");
}

TEST_F(RuleTableWriters, AnEmptySelectionGivesAnEmptyListedFile) {
  ASSERT_TRUE(Run("ExportQzmap120", "12"));
  EXPECT_EQ(ReadFile(ctx.PackFolder + "/Qzmap120.dat"), "");
  EXPECT_EQ(ctx.ManifestText, "\tNo Conversion Rules Present") << "no line end: the next line continues it";
  ASSERT_TRUE(Run("ExportQzmap175", "12"));
  EXPECT_EQ(ReadFile(ctx.PackFolder + "/qzmap175.dat"), "");
  EXPECT_EQ(ctx.ManifestText, "\tNo Conversion Rules Present") << "only qzmap120 notes it";
  EXPECT_THAT(Listed(), ElementsAre("Qzmap120.dat", "qzmap175.dat"));
  EXPECT_EQ(r.Error.ErrorNumber, 0);
}

TEST_F(RuleTableWriters, ChainAndDevelopmentRowsMissingFailWithoutAFile) {
  EXPECT_FALSE(Run("ExportQzmap101", "12"));
  EXPECT_EQ(r.Error.ErrorNumber, 101);
  EXPECT_EQ(r.Error.ErrorDescription, "Error : Qzmap101 - No Data Present in Qzmap101 Table");
  EXPECT_FALSE(files::FileExists(Env::Default(), ctx.PackFolder + "/Qzmap101.dat"));

  EXPECT_FALSE(Run("ExportQzmap105", "5"));
  EXPECT_EQ(r.Error.ErrorNumber, 105);
  EXPECT_EQ(r.Error.ErrorDescription, "Error : Qzmap105 - No Data Present in Qzmap105 Table");
  EXPECT_FALSE(files::FileExists(Env::Default(), ctx.PackFolder + "/Qzmap105.dat"));
  EXPECT_EQ(r.RuleFileList, "");

  ASSERT_TRUE(Run("ExportQzmap101")) << r.Error.ErrorDescription;
  auto chain = LinesOf(ctx.PackFolder + "/Qzmap101.dat");
  std::sort(chain.begin(), chain.end());
  EXPECT_THAT(chain, ElementsAre("5\0011\1X40\1c\1ab1\0015", "7\0011\1X41U\1c\1ab1\0017", "7\0012\1X40\1c\1ab1\0015"));
  ASSERT_TRUE(Run("ExportQzmap105")) << r.Error.ErrorDescription;
  EXPECT_THAT(LinesOf(ctx.PackFolder + "/Qzmap105.dat"), ElementsAre("7\1X41U\1c\1ab1\1dX41U\1c\1dab1"));
  EXPECT_EQ(r.RuleFileList, "Qzmap101.dat\r\nQzmap105.dat\r\n");
}

TEST_F(RuleTableWriters, RunTimeFailuresCarryTheTablesTag) {
  store.AddRevisions(7, kChild.vrc, kInvc, "revised INVC", /*null_sdat=*/true);
  EXPECT_FALSE(Run("ExportQzmap110"));
  EXPECT_EQ(r.Error.ErrorNumber, 999);
  EXPECT_EQ(r.Error.ErrorDescription, "UnSpecified Error: --Qzmap110--94   Invalid use of Null");

  store.Exec("drop table qzmap175");
  EXPECT_FALSE(Run("ExportQzmap175"));
  EXPECT_EQ(r.Error.ErrorNumber, 999);
  EXPECT_EQ(r.Error.ErrorDescription.rfind("UnSpecified Error: --qzmap175--", 0), 0u) << r.Error.ErrorDescription;

  EXPECT_FALSE(Run("ExportQzmap125", "7,5"));
  EXPECT_EQ(r.Error.ErrorDescription, "UnSpecified Error: --Qzmap125--13   Type mismatch")
      << "a profile list is numbers joined by blanks";
}

TEST_F(RuleTableWriters, RevisionTablesHaveNoExclusion) {
  store.AddRevisions(7, kChildDevelopment, kInvc, "development revision");
  for (const char* procedure : {"ExportQzmap110", "ExportQzmap125", "ExportQzmap135", "ExportQzmap145",
                                "ExportQzmap165", "ExportQzmap175"}) {
    ASSERT_TRUE(Run(procedure)) << procedure << ": " << r.Error.ErrorDescription;
  }
  EXPECT_THAT(ColumnOf(RecordsOf(ctx.PackFolder, pack::kQzmap110), "rinf"), ElementsAre("development revision"));
  EXPECT_THAT(ColumnOf(RecordsOf(ctx.PackFolder, pack::kQzmap175), "cmod"), ElementsAre("development revision"));
}

}  // namespace
}  // namespace kestrel::testing
