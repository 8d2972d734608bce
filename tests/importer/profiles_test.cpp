// How pack profiles are stored: the VRC each one takes (kept, a generated
// customer code, "U" to "Z", an update version), the header import's failures,
// the derivation chains and their repair after a profile moves to a new parent.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "base/errors_ours.h"
#include "import_fixture.h"
#include "importer/entry_points.h"
#include "importer/header_import.h"
#include "importer/hierarchy.h"
#include "importer/plan_lookups.h"
#include "support/error_of.h"

namespace kestrel::testing {
namespace {

using namespace kestrel::importer;
using Table = std::vector<std::vector<std::string>>;

// A line of "Qzmap100.dat" as the export writes it.
struct PackHeader {
  int32_t mprf;
  std::string vers, cust = "ab1", owner = "jmartin";
  std::vector<std::string> Fields() const {
    const std::string n = std::to_string(mprf);
    return {n, "LGA", "EXB", vers, "c", cust, "", "", "", "Ledger profile " + n, "N", "1", owner, "", "", "", "", "Ledger"};
  }
};
// A pack profile, the number it takes and the parent chosen for it.
struct Choice {
  int32_t pack, target, parent;
};

class ProfilesTest : public ImportFixture {
 protected:
  // The plan and the header map as the per-profile import leaves them: the
  // map holds the header file's lines last first, each with its new number.
  void Prepare(const std::vector<Choice>& choices, const std::vector<PackHeader>& lines) {
    std::vector<PlanRow> plan;
    for (const auto& c : choices) plan.push_back({c.pack, c.target, c.parent, "LGA", "EXB", "LGB", "EXC"});
    s_->r.Plan = MakePlan(plan);
    Table rows;
    s_->r.HeaderMap.clear();
    for (const auto& l : lines) {
      rows.push_back(l.Fields());
      s_->r.HeaderMap.insert(s_->r.HeaderMap.begin(),
                             std::to_string(MapSourceProfile(s_->r.Plan, l.mprf)) + "_" + l.vers + "_c_" + l.cust);
    }
    WriteFile(s_->o.Path + "/Qzmap100.dat", RowLines(rows));
  }
  void StoreProfile(int mprf, const std::string& vers, const std::string& cust = "ab1",
                    const std::string& sapp = "LGA", const std::string& tapp = "EXB") const {
    store_->AddProfile({.mprf = mprf, .sapp = sapp, .tapp = tapp, .vrc = {vers, "c", cust}, .base = std::nullopt});
  }
  void StoreVersions(int first, const std::vector<std::pair<std::string, std::string>>& vers_cust) const {
    store_->AddMany("qzmap100", static_cast<int>(vers_cust.size()), [&](int i) {
      return Named{{"mprf", first + i}, {"vers", vers_cust[size_t(i)].first}, {"rele", "c"}, {"cust", vers_cust[size_t(i)].second}};
    });
  }
  bool Run() {
    imported_.clear();
    return Recorded([&] {
      if (auto went_on_after = ImportProfileHeaders(s_->Planned(), s_->cx, s_->r.HeaderMap, imported_))
        s_->r.Error.Set(*went_on_after);
    });
  }

  std::string imported_;
};

TEST_F(ProfilesTest, EachPackProfileTakesAFreeVrcAndTheRuleLoadersFollowIt) {
  struct Row {
    std::vector<std::tuple<int, std::string, std::string, std::string>> stored;  // mprf, vers, cust, pair
    std::vector<Choice> choices;
    std::vector<PackHeader> lines;
    std::string joined;                // the header map afterwards
    std::vector<std::string> logged;   // lines the run log must hold
    Table chains;                      // mprf, levl, vers, pprf of the new profiles, when checked
  };
  const std::vector<Row> rows = {
      {{}, {{5, 40, 0}}, {{5, "X40"}}, "40_X40_c_ab1", {}, {{"40", "1", "X40", "40"}}},
      // A taken VRC gets the next free import customer code.
      {{{12, "X40", "ab1", "LGA"}}, {{5, 40, 0}}, {{5, "X40"}}, "40_X40_c_imp1",
       {"VRC from Logic pack: 40_X40_c_ab1", "Generated VRC: 40_X40_c_imp1"}, {{"40", "1", "X40", "40"}}},
      // An update version on a pair the store does not serve becomes "Z" ...
      {{{12, "X40", "ab1", "LGA"}}, {{5, 40, 0}}, {{5, "x40u"}}, "40_x40Z_c_ab1",
       {"Present VRC name: 40_x40u_c_ab1", "Generated VRC: 40_x40Z_c_ab1"}, {}},
      // ... with a generated customer code when that is taken too; where the pair is served it stays.
      {{{13, "X41Z", "ab1", "LGA"}}, {{5, 41, 0}}, {{5, "X41U"}}, "41_X41Z_c_imp1", {}, {}},
      {{{12, "X40U", "ab1", "LGB"}}, {{5, 40, 0}}, {{5, "X41U"}}, "40_X41U_c_ab1", {}, {}},
      // A profile derived from a released one of a served pair gets an update version.
      {{{10, "X40", "ab1", "LGB"}}, {{5, 41, 10}}, {{5, "X41"}}, "41_X41U_c_ab1",
       {"Present VRC name: 41_X41_c_ab1", "VRC Name for Update Profile: 41_X41U_c_ab1"},
       {{"41", "1", "X41U", "41"}, {"41", "2", "X40", "10"}}},
      // Parent and child of one pack: the root is imported first and serves the pair.
      {{}, {{5, 40, 0}, {7, 41, 40}}, {{7, "X41"}, {5, "X40"}}, "40_X40_c_ab1\x01" "41_X41U_c_ab1", {},
       {{"40", "1", "X40", "40"}, {"41", "1", "X41U", "41"}, {"41", "2", "X40", "40"}}},
  };
  for (size_t k = 0; k < rows.size(); ++k) {
    const Row& row = rows[k];
    SCOPED_TRACE(row.joined);
    Fresh("vrc" + std::to_string(k));
    for (const auto& [mprf, vers, cust, pair] : row.stored)
      StoreProfile(mprf, vers, cust, pair, pair == "LGA" ? "EXB" : "EXC");
    Prepare(row.choices, row.lines);
    ASSERT_TRUE(Run()) << s_->r.Error.text();
    EXPECT_EQ(ImportedProfiles(s_->r.HeaderMap, "\x01"), row.joined);
    std::string numbers;
    for (const auto& c : row.choices) numbers += "," + std::to_string(c.target);
    EXPECT_EQ(imported_, numbers);
    // Every header under its number and VRC, on the chosen applications.
    Table headers;
    for (const auto& e : s_->r.HeaderMap) headers.push_back({e + "_LGB_EXC_Ledger"});
    std::sort(headers.begin(), headers.end());
    EXPECT_EQ(store_->Rows("select mprf||'_'||vers||'_'||rele||'_'||cust||'_'||sapp||'_'||tapp||'_'||apln "
                           "from qzmap100 where dsca like 'Ledger%'"), headers);
    const auto log = Log();
    for (const auto& line : row.logged) EXPECT_EQ(std::ranges::count(log, line), 1) << line;
    EXPECT_EQ(log.back(), "Imported profiles: " + row.joined);
    if (!row.chains.empty()) {
      EXPECT_EQ(store_->Rows("select mprf, levl, vers, pprf from qzmap101 where mprf >= 40"), row.chains);
    }
  }
  // The derived profile's header names its parent's VRC and its depth.
  EXPECT_EQ(store_->Rows("select verf, relf, cusf, deph from qzmap100 where mprf = 41"),
            (Table{{"X40", "c", "ab1", "2"}}));
}

TEST_F(ProfilesTest, ImportCustomerCodesStayFourCharactersAndRunOut) {
  StoreProfile(12, "X40");
  std::vector<std::pair<std::string, std::string>> codes;
  for (int k = 1; k <= 999; ++k)
    if (k != 10 && k != 100)  // left free, then taken
      codes.emplace_back("X40", (k < 10 ? "imp" : k < 100 ? "im" : "i") + std::to_string(k));
  StoreVersions(1000, codes);
  EXPECT_TRUE(VRCExists(s_->cx, "40_X40_c_ab1"));
  EXPECT_FALSE(VRCExists(s_->cx, "40_X40_c_im10"));
  EXPECT_EQ(GenerateImportVRC(s_->cx, "40_X40_c_ab1"), "40_X40_c_im10");
  StoreVersions(3000, {{"X40", "im10"}});
  EXPECT_EQ(GenerateImportVRC(s_->cx, "40_X40_c_ab1"), "40_X40_c_i100");
  StoreVersions(3001, {{"X40", "i100"}});
  EXPECT_EQ(GenerateImportVRC(s_->cx, "40_X40_c_ab1"), "40_X40_c_ab1") << "every code taken: unchanged";
}

TEST_F(ProfilesTest, UpdateVersionsRunThroughTheirSequenceAndRunOut) {
  EXPECT_EQ(GenerateUpdateVRC(s_->cx, "41_X41_c_ab1"), "41_X41U_c_ab1");
  EXPECT_EQ(GenerateUpdateVRC(s_->cx, "41_X4175_c_ab1"), "41_X41U_c_ab1") << "first three characters and U";
  StoreVersions(20, {{"X41U", "ab1"}, {"X42U", "ab1"}});
  EXPECT_EQ(GenerateUpdateVRC(s_->cx, "41_X41_c_ab1"), "41_X43U_c_ab1");
  // The sequence names X43U ... X49U twice (as 3 ... 9 and as 43 ... 49); X10U stays free.
  std::set<std::string> seen{"X41U", "X42U", "X10U"};
  std::vector<std::pair<std::string, std::string>> taken;
  for (int k = 3; k < 100; ++k)
    if (const std::string v = (k < 10 ? "X4" : "X") + std::to_string(k) + "U"; seen.insert(v).second)
      taken.emplace_back(v, "ab1");
  StoreVersions(100, taken);
  EXPECT_EQ(GenerateUpdateVRC(s_->cx, "41_X41_c_ab1"), "41_X10U_c_ab1");
  StoreVersions(300, {{"X10U", "ab1"}});
  EXPECT_EQ(GenerateUpdateVRC(s_->cx, "41_X41_c_ab1"), "");
  // The header import reports the give-up and inserts nothing for the profile.
  store_->Exec("update qzmap100 set sapp = 'LGB', tapp = 'EXC' where mprf = 300");
  StoreProfile(10, "X30", "ab1", "LGB", "EXC");
  Prepare({{5, 41, 10}}, {{5, "X41"}});
  EXPECT_FALSE(Run());
  EXPECT_EQ(s_->r.Error.number(), Number(Ours::UpdateVrcExhausted));
  EXPECT_EQ(s_->r.Error.text(), std::string(DefaultText(Ours::UpdateVrcExhausted)) + ": 41_X41_c_ab1");
  EXPECT_EQ(store_->Count("select count(*) from qzmap100 where mprf = 41"), 0);
}

// A lost or a short header line: 100 with our own texts.
TEST_F(ProfilesTest, HeaderImportFailures) {
  struct Row {
    std::function<void()> spoil;
    bool result;  // of the header import, which goes on after a lost line
    std::string text;
    Table headers;  // mprf, cust afterwards
  };
  const std::vector<Row> rows = {
      // The line of pack profile 6 is lost: the walk stops there, having renamed 40 and kept the map.
      {[this] {
         StoreProfile(12, "X40");
         Prepare({{5, 40, 0}, {6, 41, 0}, {7, 42, 0}}, {{7, "X42"}, {6, "X41"}, {5, "X40"}});
         WriteFile(s_->o.Path + "/Qzmap100.dat", RowLines({PackHeader{7, "X42"}.Fields(), PackHeader{5, "X40"}.Fields()}));
       }, true, "QZMAP100 entry not present in the profile mapping", {{"40", "imp1"}}},
      {[this] {
         Prepare({{5, 40, 0}}, {{5, "X40"}});
         auto fields = PackHeader{5, "X40"}.Fields();
         fields.pop_back();
         WriteFile(s_->o.Path + "/Qzmap100.dat", RowLines({fields}));
       }, false, "Import Migration Profile - Qzmap100.dat file is not having enough data or file is corrupted", {}},
  };
  for (size_t k = 0; k < rows.size(); ++k) {
    SCOPED_TRACE(rows[k].text);
    Fresh("fail" + std::to_string(k));
    rows[k].spoil();
    const auto map = s_->r.HeaderMap;
    EXPECT_EQ(Run(), rows[k].result);
    EXPECT_EQ(s_->r.Error.number(), 100);
    EXPECT_EQ(s_->r.Error.text(), rows[k].text);
    EXPECT_EQ(store_->Rows("select mprf, cust from qzmap100 where mprf >= 40"), rows[k].headers);
    EXPECT_EQ(s_->r.HeaderMap, map);
  }
}

class ChainTest : public ProfilesTest {
 protected:
  // Header and chain, as the import writes a profile; `from` names the parent by VRC.
  bool Import(int16_t mprf, const TestVrc& v, int16_t depth, const TestVrc& from = {}) {
    store_->Add("qzmap100", {{"mprf", mprf}, {"vers", v.vers}, {"rele", v.rele}, {"cust", v.cust}, {"verf", from.vers},
                             {"relf", from.rele}, {"cusf", from.cust}, {"sapp", "SAPB1"}, {"tapp", "LGX7"}, {"deph", depth}});
    return Recorded(
        [&] { InsertInMap101(s_->cx, mprf, v.vers, v.rele, v.cust, depth, from.vers, from.rele, from.cust); });
  }
  Table Chain(int mprf) const {
    return store_->Rows("select levl, vers, pprf from qzmap101 where mprf = " + std::to_string(mprf));
  }
  Table Depths() const { return store_->Rows("select mprf, deph from qzmap100 where mprf in (30, 40) order by mprf"); }
  // 1 <- 5, and 10 <- 20 <- 30 <- 40.
  void Levels() {
    ASSERT_TRUE(Import(1, kTop, 1) && Import(5, kMiddle, 2, kTop) && Import(10, kRoot, 1) &&
                Import(20, kChild, 2, kRoot) && Import(30, kGrandchild, 3, kChild) &&
                Import(40, {"X43U", "01", "STD"}, 4, kGrandchild));
  }
  // The import's steps for 20: remember what hangs below it, write it anew.
  std::vector<std::string> Move20(int16_t depth, const TestVrc& from) {
    std::vector<std::string> chains{"20_" + GetDerivedProfiles(s_->cx, "20")};
    (*store_)->ExecuteScript("delete from qzmap100 where mprf = 20; delete from qzmap101 where mprf = 20");
    EXPECT_TRUE(Import(20, kChild, depth, from));
    return chains;
  }
  const TestVrc kTop{"X30", "01", "STD"}, kMiddle{"X31U", "01", "STD"}, kRoot{"X40", "01", "STD"},
      kChild{"X41U", "01", "STD"}, kGrandchild{"X42U", "01", "STD"};
};

TEST_F(ChainTest, ChainFailuresHaveTheirNumbers) {
  Levels();
  EXPECT_FALSE(Import(50, {"X44U", "02", "ACME"}, 2, {"X43U", "02", "ACME"}));
  EXPECT_EQ(s_->r.Error.number(), 802);
  EXPECT_EQ(s_->r.Error.text(), "Error : --InsertInMap101-- Parent Profile is missing");
  EXPECT_EQ(Chain(50), (Table{{"1", "X44U", "50"}}));  // the level-one row was written first
  EXPECT_FALSE(Recorded([&] { GetDerivedProfiles(s_->cx, "ten"); }));
  EXPECT_EQ(s_->r.Error.value().procedure() + ": " + s_->r.Error.text(), "GetDerivedProfiles: Type mismatch");
  // The depth and the parent look-up are not trapped.
  store_->Exec("drop table qzmap101");
  int32_t mprf = 0, parent = 20, depth = 0;
  EXPECT_NE(ErrorOf([&] { (void)GetDepthOfProfile(s_->cx, mprf, parent, depth); }), 0);
  EXPECT_NE(ErrorOf([&] { (void)GetParentProfile(s_->cx, 20); }), 0);
}

// 20 moves below 5, then under no parent: its descendants keep their lower
// rows and take its new upper chain and depth; a loop stops with our error.
TEST_F(ChainTest, DescendantsOfAMovedProfileKeepTheirLowerRowsAndTakeTheNewUpperChain) {
  Levels();
  EXPECT_TRUE(Recorded([&] { AdjustDerivedChains(s_->cx, Move20(3, kMiddle)); }));
  EXPECT_EQ(Chain(20), (Table{{"1", "X41U", "20"}, {"2", "X31U", "5"}, {"3", "X30", "1"}}));
  EXPECT_EQ(Chain(40), (Table{{"1", "X43U", "40"}, {"2", "X42U", "30"}, {"3", "X41U", "20"}, {"4", "X31U", "5"},
                              {"5", "X30", "1"}}));
  EXPECT_EQ(Depths(), (Table{{"30", "4"}, {"40", "5"}}));
  int32_t mprf = 0, parent = 40, depth = -1;
  EXPECT_TRUE(GetDepthOfProfile(s_->cx, mprf, parent, depth));
  EXPECT_EQ(depth, 6);
  // Elements without both parts do nothing; 1 does not stand in the chain of 30.
  const Table before = Chain(30);
  EXPECT_TRUE(Recorded([&] { AdjustDerivedChains(s_->cx, {"_", "20_", "_20, 30", "1_30"}); }));
  EXPECT_EQ(Chain(30), before);

  EXPECT_TRUE(Recorded([&] { AdjustDerivedChains(s_->cx, Move20(1, {})); }));
  EXPECT_EQ(Chain(30), (Table{{"1", "X42U", "30"}, {"2", "X41U", "20"}}));
  EXPECT_EQ(Depths(), (Table{{"30", "2"}, {"40", "3"}}));
  // Corrupt the store: 5's parent becomes 20, whose parent is 5.
  auto chains = Move20(3, kMiddle);
  store_->Exec("update qzmap101 set pprf = 20 where mprf = 5 and levl = 2");
  EXPECT_FALSE(Recorded([&] { AdjustDerivedChains(s_->cx, chains); }));
  EXPECT_EQ(s_->r.Error.number(), Number(Ours::ChainTooLong));
  EXPECT_NE(s_->r.Error.text().find("profile 20"), std::string::npos) << s_->r.Error.text();
  parent = 30;
  EXPECT_EQ(ErrorOf([&] { (void)GetDepthOfProfile(s_->cx, mprf, parent, depth); }), Number(Ours::ChainTooLong));
}

}  // namespace
}  // namespace kestrel::testing
