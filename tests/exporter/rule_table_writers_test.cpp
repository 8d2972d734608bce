// The rule table writers of the chain export: which rows each selects (the
// development VRC exclusion, other profiles), what an empty selection
// writes, the checked-out warning, and the tags their traps carry.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/files.h"
#include "exporter/pack_readers.h"
#include "exporter/rule_table_writers.h"
#include "support/store_builder.h"

namespace kestrel::testing {
namespace {

using ::testing::ElementsAre;
using exporter::RuleTableMemberOf;

const TestObject kCust{"AR", "CUST", "010"};
const TestObject kInvc{"AR", "INVC", "020"};
const TestProfile kRoot{5, "BAS", "EXT", {"X40", "c", "ab1"}, std::nullopt, "Y"};
const TestProfile kChild{7, "BAS", "EXT", {"X41U", "c", "ab1"}, TestVrc{"X40", "c", "ab1"}, "Y"};
const TestVrc kChildDevelopment{"dX41U", "c", "dab1"};

// Rules of root 5 and child 7; the child also holds rules in its development
// VRC, which a normal pack leaves out.
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
    store.AddRevisions(7, kChildDevelopment, kInvc, "development revision");
    ctx.DataConnection = store.connection();
    ctx.PackFolder = tmp.path();
  }
  bool Run(const char* procedure, const std::string& profiles = "7 5") {
    return exporter::ExportRuleTable(ctx, r, RuleTableMemberOf(procedure), profiles, false);
  }

  TempFolder tmp;
  StoreBuilder store = StoreBuilder::Empty(tmp / "store.db");
  exporter::ExportContext ctx{Env::Default()};
  exporter::ExportResults r;
};

TEST_F(RuleTableWriters, CurrentRulesLeaveTheDevelopmentVrcOutRevisionsKeepIt) {
  for (const char* procedure : {"ExportQzmap120", "ExportQzmap130", "ExportQzmap140", "ExportQzmap160",
                                "ExportQzmap170", "ExportQzmap110", "ExportQzmap175"})
    ASSERT_TRUE(Run(procedure)) << procedure << ": " << r.Error.ErrorDescription;
  auto rules = RecordsOf(tmp.path(), pack::kQzmap120);
  EXPECT_THAT(ColumnOf(rules, "prtx"), ElementsAre("child INVC", "root CUST"));
  EXPECT_THAT(ColumnOf(rules, "ldat"), ElementsAre("2022-05-06 07:08:09", "2022-05-06 07:08:09"));
  EXPECT_THAT(ColumnOf(RecordsOf(tmp.path(), pack::kQzmap170), "bflno"), ElementsAre("root other"));
  EXPECT_THAT(ColumnOf(RecordsOf(tmp.path(), pack::kQzmap110), "rinf"), ElementsAre("development revision"));
  EXPECT_THAT(ColumnOf(RecordsOf(tmp.path(), pack::kQzmap175), "cmod"), ElementsAre("development revision"));
  EXPECT_EQ(r.RuleFileList, "Qzmap120.dat\r\nQzmap130.dat\r\nQzmap140.dat\r\nQzmap160.dat\r\nqzmap170.dat\r\n"
                            "Qzmap110.dat\r\nqzmap175.dat\r\n");
  EXPECT_EQ(ctx.ManifestText, "\tObject Exported 7-ARINVC020 but was Checked out by user bsmith\r\n");
}

TEST_F(RuleTableWriters, EmptySelections) {
  store.Exec("update qzmap120 set logn='' where mprf=7");
  ASSERT_TRUE(Run("ExportQzmap120", "7"));
  EXPECT_EQ(ctx.ManifestText, "") << "an empty logn is no user";
  ASSERT_TRUE(Run("ExportQzmap120", "13"));
  ASSERT_TRUE(Run("ExportQzmap175", "13"));
  EXPECT_EQ(ReadFile(tmp / "Qzmap120.dat") + ReadFile(tmp / "qzmap175.dat"), "");
  // No line end, the next line continues it; only qzmap120 notes it.
  EXPECT_EQ(ctx.ManifestText, "\tNo Conversion Rules Present");
  EXPECT_EQ(r.Error.ErrorNumber, 0);
  // The row files refuse an empty selection before creating their file.
  for (const auto& [table, list] : {std::pair{"Qzmap101", "13"}, {"Qzmap105", "5"}}) {
    EXPECT_FALSE(Run(("ExportQzmap" + std::string(table + 5)).c_str(), list));
    EXPECT_EQ(r.Error.ErrorNumber, std::stoi(table + 5));
    EXPECT_EQ(r.Error.ErrorDescription, "Error : " + std::string(table) + " - No Data Present in " + table + " Table");
    EXPECT_FALSE(files::FileExists(Env::Default(), tmp / (std::string(table) + ".dat")));
  }
  EXPECT_EQ(r.RuleFileList, "Qzmap120.dat\r\nQzmap120.dat\r\nqzmap175.dat\r\n");
}

TEST_F(RuleTableWriters, FailuresAreTrappedUnderEachTablesTag) {
  // A profile list is numbers joined by single blanks; anything else, which
  // no statement could carry, fails every member.
  const char* bad_lists[] = {"7,5", "", "40  31", "40 ", " 40", "4x", "12; drop table qzmap100"};
  size_t i = 0;
  for (const char* tag : {"Qzmap101", "Qzmap105", "Qzmap120", "Qzmap130", "Qzmap140", "Qzmap160", "qzmap170",
                          "Qzmap110", "Qzmap125", "Qzmap135", "Qzmap145", "Qzmap165", "qzmap175"}) {
    const char* list = bad_lists[i++ % std::size(bad_lists)];
    SCOPED_TRACE(std::string(tag) + " [" + list + "]");
    EXPECT_FALSE(Run(("ExportQzmap" + std::string(tag + 5)).c_str(), list));
    EXPECT_EQ(r.Error.ErrorNumber, 999);
    EXPECT_EQ(r.Error.ErrorDescription, "UnSpecified Error: --" + std::string(tag) + "--13   Type mismatch");
  }
  store.AddRevisionInfo(7, kChild.vrc, kInvc, "revised INVC", /*null_sdat=*/true);
  EXPECT_FALSE(Run("ExportQzmap110"));
  EXPECT_EQ(r.Error.ErrorDescription, "UnSpecified Error: --Qzmap110--94   Invalid use of Null");
}

}  // namespace
}  // namespace kestrel::testing
