// The profile header import on a real store: the VRC each pack profile is
// stored under (kept, generated customer codes, "U" to "Z", update versions),
// the header row with its revision columns, the chain, the owner enciphered
// and assigned, and the header map the rule loaders read afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

#include "base/cipher.h"
#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/text.h"
#include "importer/header_import.h"
#include "importer/plan_lookups.h"
#include "store/connection.h"
#include "store/schema.h"
#include "support/temp_folder.h"
#include "store_views.h"
#include "import_parts.h"

namespace kestrel::importer {
namespace {

using testing::ImportParts;

using kestrel::testing::TempFolder;

using kestrel::testing::ChainRow;

// One entry of the user's selection: the pack profile and what it becomes.
struct Choice {
  int32_t pack;
  int32_t target;
  int32_t parent;
  std::string sapp = "LGB", tapp = "EXC";
};

// One line of "Qzmap100.dat" as the export writes it.
struct PackHeader {
  int32_t mprf;
  std::string vers, rele = "c", cust = "ab1";
  std::string owner = "jmartin";
  std::string sapp = "LGA", tapp = "EXB";
  std::vector<std::string> Fields() const {
    const std::string n = std::to_string(mprf);
    return {n, sapp, tapp, vers, rele, cust, "", "", "", "Ledger profile " + n, "N", "1", owner, "", "", "", "",
            "Ledger"};
  }
};

class HeaderImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = store::CreateStore(t_ / "profiles.db");
    s_.cx.DataConnection = store_;
    s_.o.Path = t_ / "pack";
    files::CreateFolder(Env::Default(), s_.o.Path);
    s_.cx.ImportLogPath = t_ / "importmr.log";
  }

  // The plan and the header map as the per-profile import leaves them: the
  // map holds the lines of the header file in reverse order, each with the
  // number its profile takes.
  void Prepare(const std::vector<Choice>& choices, const std::vector<PackHeader>& lines) {
    ImportPlan p;
    for (const auto& c : choices) {
      p.SourceProfiles[0].push_back(c.pack);
      p.SourceProfiles[1].push_back(0);
      p.SourceApplications[0].push_back("LGA");
      p.SourceApplications[1].push_back("EXB");
      p.TargetProfiles[0].push_back(c.target);
      p.TargetProfiles[1].push_back(c.parent);
      p.TargetApplications[0].push_back(c.sapp);
      p.TargetApplications[1].push_back(c.tapp);
      p.DevelopmentVRCs.push_back("__");
    }
    p.Size = static_cast<int32_t>(choices.size()) - 1;
    s_.r.Plan = p;

    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> map;
    for (const auto& l : lines) {
      rows.push_back(l.Fields());
      map.insert(map.begin(), std::to_string(MapSourceProfile(s_.r.Plan, l.mprf)) + "_" + l.vers + "_" + l.rele + "_" +
                                  l.cust);
    }
    WriteHeaderFile(rows);
    s_.r.HeaderMap = map;
  }
  void WriteHeaderFile(const std::vector<std::vector<std::string>>& rows) {
    auto out = files::TextWriter::Create(Env::Default(), files::Join(s_.o.Path, "Qzmap100.dat"));
    for (const auto& r : rows) {
      std::string line;
      for (size_t i = 0; i < r.size(); ++i) line += (i ? "\x01" : "") + r[i];
      out->WriteLine(line);
    }
    out->Close();
  }

  // A stored profile with its chain (the parent's chain must be stored).
  void StoreProfile(int64_t mprf, const std::string& vers, const std::string& cust = "ab1", int64_t parent = 0,
                    const std::string& sapp = "LGA", const std::string& tapp = "EXB") {
    const std::string n = std::to_string(mprf);
    std::vector<std::tuple<std::string, std::string, int64_t>> chain{{vers, cust, mprf}};
    if (parent) {
      auto above = store_->OpenRecordset("select vers, cust, pprf from qzmap101 where mprf = " +
                                         std::to_string(parent) + " order by levl");
      for (; !above->IsEOF(); above->MoveNext())
        chain.emplace_back(above->Fields("vers").Text(), above->Fields("cust").Text(),
                           above->Fields("pprf").Integer());
    }
    const auto& from = parent ? chain[1] : std::tuple<std::string, std::string, int64_t>{"", "", 0};
    const std::string rele_from = parent ? "c" : "";
    store_->Execute("insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust, verf, relf, cusf, deph) values (" +
                    n + ", '" + sapp + "', '" + tapp + "', '" + vers + "', 'c', '" + cust + "', '" +
                    std::get<0>(from) + "', '" + rele_from + "', '" + std::get<1>(from) + "', " +
                    std::to_string(chain.size()) + ")");
    for (size_t l = 0; l < chain.size(); ++l)
      store_->Execute("insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values (" + n + ", " +
                      std::to_string(l + 1) + ", '" + std::get<0>(chain[l]) + "', 'c', '" + std::get<1>(chain[l]) +
                      "', " + std::to_string(std::get<2>(chain[l])) + ")");
  }
  void StoreUser(const std::string& name) {
    store_->Execute("insert into qzusr100 (usrn) values (cast('" + name + "' as blob))");
  }

  bool Run() {
    imported_.clear();
    return ImportProfileHeaders(s_.Planned(), s_.cx, s_.r.HeaderMap, s_.r.Error, imported_);
  }

  // vers, rele, cust, verf, relf, cusf, scme, deph, dsca, apln of a stored header.
  std::vector<std::string> Header(int64_t mprf) {
    auto rs = store_->OpenRecordset("select vers, rele, cust, verf, relf, cusf, scme, deph, dsca, apln, sapp, tapp "
                                    "from qzmap100 where mprf = " + std::to_string(mprf));
    if (rs->IsEOF()) return {};
    std::vector<std::string> out;
    for (int i = 0; i < rs->FieldCount(); ++i) out.push_back(rs->Fields(i).TextOrEmpty());
    return out;
  }
  std::vector<ChainRow> Chain(int64_t mprf) { return kestrel::testing::ChainRows(*store_, mprf); }
  int64_t Count(const std::string& where_sql) {
    return store_->OpenRecordset("select count(*) from " + where_sql)->Fields(0).Integer();
  }
  // The header map as the run log lists it.
  std::string Joined() const { return ImportedProfiles(s_.r.HeaderMap, s_.o.FieldSeparator); }
  std::vector<std::string> LogMessages() { return kestrel::testing::RunLogMessages(s_.cx.ImportLogPath); }
  bool Logged(const std::string& message) {
    for (const auto& m : LogMessages())
      if (m == message) return true;
    return false;
  }

  TempFolder t_;
  std::shared_ptr<store::Connection> store_;
  ImportParts s_;
  std::string imported_;
};

TEST_F(HeaderImportTest, RootProfileWithAFreeVrcKeepsItAndGetsOneChainRow) {
  Prepare({{5, 40, 0}}, {{5, "X40"}});
  ASSERT_TRUE(Run()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(s_.r.Error.ErrorNumber, 0);
  EXPECT_EQ(imported_, ",40");
  EXPECT_EQ(Header(40), (std::vector<std::string>{"X40", "c", "ab1", "", "", "", "N", "1", "Ledger profile 5",
                                                  "Ledger", "LGB", "EXC"}));
  EXPECT_EQ(Chain(40), (std::vector<ChainRow>{{1, "X40", "c", "ab1", 40}}));
  EXPECT_EQ(Count("qzmap105"), 0) << "no revision information";
  EXPECT_EQ(Joined(), "40_X40_c_ab1");
  EXPECT_TRUE(Logged("Imported profiles: 40_X40_c_ab1"));
  EXPECT_EQ(Count("qzmap100 where mprf = 5"), 0) << "the pack's own number is not used";
}

TEST_F(HeaderImportTest, TakenVrcGetsTheNextFreeImportCustomerCode) {
  StoreProfile(12, "X40");
  Prepare({{5, 40, 0}}, {{5, "X40"}});
  ASSERT_TRUE(Run()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Header(40)[2], "imp1");
  EXPECT_EQ(Chain(40), (std::vector<ChainRow>{{1, "X40", "c", "imp1", 40}}));
  EXPECT_EQ(Joined(), "40_X40_c_imp1") << "the rule loaders follow the new VRC";
  EXPECT_EQ(s_.r.HeaderMap, std::vector<std::string>{"40_X40_c_imp1"});
  EXPECT_TRUE(Logged("VRC from Logic pack: 40_X40_c_ab1"));
  EXPECT_TRUE(Logged("Generated VRC: 40_X40_c_imp1"));

  // With "imp1" taken too, the next import of the same pack gets "imp2".
  store_->Execute("delete from qzmap101 where mprf = 40");
  store_->Execute("update qzmap100 set mprf = 13 where mprf = 40");
  Prepare({{5, 40, 0}}, {{5, "X40"}});
  ASSERT_TRUE(Run()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Header(40)[2], "imp2");
  EXPECT_EQ(Joined(), "40_X40_c_imp2");
}

TEST_F(HeaderImportTest, ImportCustomerCodesStayFourCharactersAndRunOut) {
  StoreProfile(12, "X40", "ab1");
  {
    store::Batch b(*store_);
    for (int k = 1; k <= 999; ++k) {
      const std::string code = k < 10 ? "imp" + std::to_string(k)
                               : k < 100 ? "im" + std::to_string(k)
                                         : "i" + std::to_string(k);
      if (k == 10 || k == 100) continue;  // left free below, then taken
      store_->Execute("insert into qzmap100 (mprf, vers, rele, cust) values (" + std::to_string(1000 + k) +
                      ", 'X40', 'c', '" + code + "')");
    }
    b.Commit();
  }
  EXPECT_TRUE(VRCExists(s_.cx, "40_X40_c_ab1"));
  EXPECT_FALSE(VRCExists(s_.cx, "40_X40_c_im10"));
  EXPECT_EQ(GenerateImportVRC(s_.cx, "40_X40_c_ab1"), "40_X40_c_im10");
  store_->Execute("insert into qzmap100 (mprf, vers, rele, cust) values (1010, 'X40', 'c', 'im10')");
  EXPECT_EQ(GenerateImportVRC(s_.cx, "40_X40_c_ab1"), "40_X40_c_i100");
  store_->Execute("insert into qzmap100 (mprf, vers, rele, cust) values (1100, 'X40', 'c', 'i100')");
  EXPECT_EQ(GenerateImportVRC(s_.cx, "40_X40_c_ab1"), "40_X40_c_ab1") << "every code taken: unchanged";

  // The header import then inserts a VRC the store holds: the insert is
  // refused and the trap reports it.
  Prepare({{5, 40, 0}}, {{5, "X40"}});
  EXPECT_FALSE(Run());
  EXPECT_EQ(s_.r.Error.ErrorNumber, 899);
  EXPECT_TRUE(s_.r.Error.ErrorDescription.starts_with("Unspecified Error : --ImportProfileHeaders-- "))
      << s_.r.Error.ErrorDescription;
  EXPECT_TRUE(Header(40).empty());
  EXPECT_EQ(Joined(), "40_X40_c_ab1") << "the map stays as the failed walk found it";
}

TEST_F(HeaderImportTest, UpdateVersionOnAnUnservedPairBecomesZ) {
  // The store serves LGA/EXB only; the profile goes to LGB/EXC.
  StoreProfile(12, "X40");
  Prepare({{5, 40, 0}}, {{5, "x40u"}});
  ASSERT_TRUE(Run()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Header(40)[0], "x40Z");
  EXPECT_TRUE(Logged("Present VRC name: 40_x40u_c_ab1"));
  EXPECT_TRUE(Logged("Generated VRC: 40_x40Z_c_ab1"));
  EXPECT_EQ(Joined(), "40_x40Z_c_ab1");

  // When the "Z" version is taken as well, it gets a generated customer code.
  store_->Execute("delete from qzmap100 where mprf = 40");
  store_->Execute("delete from qzmap101 where mprf = 40");
  StoreProfile(13, "X41Z", "ab1", 0, "LGA", "EXB");
  Prepare({{5, 41, 0}}, {{5, "X41U"}});
  ASSERT_TRUE(Run()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Header(41)[0], "X41Z");
  EXPECT_EQ(Header(41)[2], "imp1");
}

TEST_F(HeaderImportTest, UpdateVersionStaysWhereThePairIsServed) {
  StoreProfile(12, "X40U", "ab1", 0, "LGB", "EXC");
  Prepare({{5, 40, 0}}, {{5, "X41U"}});
  ASSERT_TRUE(Run()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Header(40)[0], "X41U") << "served pair, all versions updates, no parent: nothing renamed";
}

TEST_F(HeaderImportTest, DerivedProfileOnAServedPairGetsAnUpdateVersion) {
  // A released profile of the pair is stored; the pack brings a profile
  // derived from it.
  StoreProfile(10, "X40", "ab1", 0, "LGB", "EXC");
  Prepare({{5, 41, 10}}, {{5, "X41"}});
  ASSERT_TRUE(Run()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Header(41), (std::vector<std::string>{"X41U", "c", "ab1", "X40", "c", "ab1", "N", "2",
                                                  "Ledger profile 5", "Ledger", "LGB", "EXC"}));
  EXPECT_EQ(Chain(41), (std::vector<ChainRow>{{1, "X41U", "c", "ab1", 41}, {2, "X40", "c", "ab1", 10}}));
  EXPECT_TRUE(Logged("Present VRC name: 41_X41_c_ab1"));
  EXPECT_TRUE(Logged("VRC Name for Update Profile: 41_X41U_c_ab1"));
  EXPECT_EQ(Joined(), "41_X41U_c_ab1");
}

TEST_F(HeaderImportTest, UpdateVersionsRunThroughTheirSequenceAndRunOut) {
  EXPECT_EQ(GenerateUpdateVRC(s_.cx, "41_X41_c_ab1"), "41_X41U_c_ab1");
  EXPECT_EQ(GenerateUpdateVRC(s_.cx, "41_X4175_c_ab1"), "41_X41U_c_ab1") << "first three characters and U";
  StoreProfile(20, "X41U");
  StoreProfile(21, "X42U");
  EXPECT_EQ(GenerateUpdateVRC(s_.cx, "41_X41_c_ab1"), "41_X43U_c_ab1");
  {
    // The sequence names X43U ... X49U twice (as 3 ... 9 and as 43 ... 49).
    std::set<std::string> taken{"X41U", "X42U", "X10U"};  // stored above, or left free
    store::Batch b(*store_);
    for (int k = 3; k < 100; ++k) {
      const std::string vers = (k < 10 ? std::string("X4") : std::string("X")) + std::to_string(k) + "U";
      if (!taken.insert(vers).second) continue;
      store_->Execute("insert into qzmap100 (mprf, vers, rele, cust) values (" + std::to_string(100 + k) + ", '" +
                      vers + "', 'c', 'ab1')");
    }
    b.Commit();
  }
  EXPECT_EQ(GenerateUpdateVRC(s_.cx, "41_X41_c_ab1"), "41_X10U_c_ab1");
  store_->Execute("insert into qzmap100 (mprf, vers, rele, cust) values (110, 'X10U', 'c', 'ab1')");
  EXPECT_EQ(GenerateUpdateVRC(s_.cx, "41_X41_c_ab1"), "");

  // The header import reports the give-up and inserts nothing for the profile.
  store_->Execute("update qzmap100 set sapp = 'LGB', tapp = 'EXC' where mprf = 110");
  store_->Execute("insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust) values (10, 'LGB', 'EXC', 'X30', 'c', "
                  "'ab1')");
  Prepare({{5, 41, 10}}, {{5, "X41"}});
  EXPECT_FALSE(Run());
  EXPECT_EQ(s_.r.Error.ErrorNumber, Number(Ours::UpdateVrcExhausted));
  EXPECT_EQ(s_.r.Error.ErrorDescription, std::string(DefaultText(Ours::UpdateVrcExhausted)) + ": 41_X41_c_ab1");
  EXPECT_TRUE(Header(41).empty());
  EXPECT_EQ(Joined(), "41_X41_c_ab1");
}

TEST_F(HeaderImportTest, RevisionInformationGivesTheDevelopmentVrc) {
  s_.r.Manifest.revisions = true;
  Prepare({{5, 40, 0}}, {{5, "X40"}});
  ASSERT_TRUE(Run()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Header(40)[6], "Y");
  auto rs = store_->OpenRecordset("select mprf, vers, rele, cust, dver, drel, dcus from qzmap105");
  ASSERT_FALSE(rs->IsEOF());
  std::vector<std::string> row;
  for (int i = 0; i < rs->FieldCount(); ++i) row.push_back(rs->Fields(i).TextOrEmpty());
  EXPECT_EQ(row, (std::vector<std::string>{"40", "X40", "c", "ab1", "d40", "c", "db1"}));
  rs->MoveNext();
  EXPECT_TRUE(rs->IsEOF());
}

TEST_F(HeaderImportTest, ChildUnderAStoredParentGetsItsWholeChain) {
  // Profiles 10 (root) and 20 (derived from 10) are stored on another pair.
  StoreProfile(10, "X10");
  StoreProfile(20, "X20", "ab1", 10);
  Prepare({{5, 30, 20}}, {{5, "X30"}});
  ASSERT_TRUE(Run()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(s_.r.Error.ErrorNumber, 0);
  const auto h = Header(30);
  ASSERT_FALSE(h.empty());
  EXPECT_EQ(std::vector<std::string>(h.begin() + 3, h.begin() + 8),
            (std::vector<std::string>{"X20", "c", "ab1", "N", "3"}));
  EXPECT_EQ(Chain(30), (std::vector<ChainRow>{
                           {1, "X30", "c", "ab1", 30}, {2, "X20", "c", "ab1", 20}, {3, "X10", "c", "ab1", 10}}));
}

TEST_F(HeaderImportTest, PackParentAndChildAreImportedRootFirst) {
  // The header file lists the child first; the map, reversed, the root first.
  Prepare({{5, 40, 0}, {7, 41, 40}}, {{7, "X41"}, {5, "X40"}});
  EXPECT_EQ(s_.r.HeaderMap, (std::vector<std::string>{"40_X40_c_ab1", "41_X41_c_ab1"}));
  ASSERT_TRUE(Run()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(imported_, ",40,41");
  // Profile 40 now serves the pair with a released version: 41, derived
  // from it, is stored as its update.
  EXPECT_EQ(Chain(41), (std::vector<ChainRow>{{1, "X41U", "c", "ab1", 41}, {2, "X40", "c", "ab1", 40}}));
  EXPECT_EQ(Header(41)[7], "2");
  EXPECT_EQ(Joined(), "40_X40_c_ab1\x01" "41_X41U_c_ab1");
}

TEST_F(HeaderImportTest, OwnerIsStoredEncipheredAndAssignedWhenTheStoreKnowsTheUser) {
  StoreUser("jmartin");
  Prepare({{5, 40, 0}, {6, 50, 0}, {8, 60, 0}},
          {{5, "X40"}, {6, "X50", "c", "ab1", "rkowalski"}, {8, "X60", "c", "ab1", "jmartin"}});
  // Profile 60 is already assigned to its owner.
  store_->Execute("insert into qzusr110 (usrn, mprf) values (cast('jmartin' as blob), cast(60 as blob))");
  ASSERT_TRUE(Run()) << s_.r.Error.ErrorDescription;

  auto owner = store_->OpenRecordset("select cast(ownr as text) from qzmap100 where mprf = 50");
  const std::string stored = owner->Fields(0).Text();
  EXPECT_NE(stored, "rkowalski");
  EXPECT_EQ(CipherField(stored, false), "rkowalski");
  EXPECT_EQ(stored.find('\''), std::string::npos);

  auto rs = store_->OpenRecordset("select cast(usrn as text), cast(mprf as int) from qzusr110 order by 2");
  std::vector<std::pair<std::string, int64_t>> assigned;
  for (; !rs->IsEOF(); rs->MoveNext()) assigned.emplace_back(rs->Fields(0).Text(), rs->Fields(1).Integer());
  EXPECT_EQ(assigned, (std::vector<std::pair<std::string, int64_t>>{{"jmartin", 40}, {"jmartin", 60}}))
      << "50's owner is no stored user; 60 keeps its one row";
}

TEST_F(HeaderImportTest, MissingHeaderLineStopsTheWalkButSucceeds) {
  // The store holds 40's VRC, so the walk renames it before it stops.
  StoreProfile(12, "X40");
  Prepare({{5, 40, 0}, {6, 41, 0}, {7, 42, 0}}, {{7, "X42"}, {6, "X41"}, {5, "X40"}});
  // The line of pack profile 6 is lost.
  WriteHeaderFile({PackHeader{7, "X42"}.Fields(), PackHeader{5, "X40"}.Fields()});
  const std::string before = Joined();
  EXPECT_TRUE(Run());
  EXPECT_EQ(s_.r.Error.ErrorNumber, 100);
  EXPECT_EQ(s_.r.Error.ErrorDescription, "QZMAP100 entry not present in the profile mapping");
  EXPECT_EQ(Header(40)[2], "imp1");
  EXPECT_TRUE(Header(41).empty());
  EXPECT_TRUE(Header(42).empty()) << "profiles after the missing one are untouched";
  EXPECT_EQ(imported_, ",40");
  EXPECT_EQ(Joined(), before);
  EXPECT_EQ(s_.r.HeaderMap, (std::vector<std::string>{"40_X40_c_ab1", "41_X41_c_ab1", "42_X42_c_ab1"}));
}

TEST_F(HeaderImportTest, CorruptHeaderLineFailsWith100) {
  Prepare({{5, 40, 0}}, {{5, "X40"}});
  auto fields = PackHeader{5, "X40"}.Fields();
  fields.pop_back();
  WriteHeaderFile({fields});
  EXPECT_FALSE(Run());
  EXPECT_EQ(s_.r.Error.ErrorNumber, 100);
  EXPECT_EQ(s_.r.Error.ErrorDescription, kHeaderLineCorrupt);
  EXPECT_TRUE(Header(40).empty());
}

TEST_F(HeaderImportTest, ChainFailureIsLeftInTheStateAndTheOwnerStillAssigned) {
  StoreUser("jmartin");
  // A stale chain row of the new number is in the way.
  store_->Execute("insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values (40, 1, 'X9', 'c', 'ab1', 40)");
  Prepare({{5, 40, 0}}, {{5, "X40"}});
  EXPECT_TRUE(Run());
  EXPECT_EQ(s_.r.Error.ErrorNumber, 801);
  EXPECT_EQ(Header(40)[0], "X40");
  EXPECT_EQ(Count("qzusr110"), 1);
}

TEST_F(HeaderImportTest, MissingHeaderFileEndsInTheTrap) {
  Prepare({{5, 40, 0}}, {{5, "X40"}});
  files::DeleteFile(Env::Default(), files::Join(s_.o.Path, "Qzmap100.dat"));
  EXPECT_FALSE(Run());
  EXPECT_EQ(s_.r.Error.ErrorNumber, 899);
  EXPECT_EQ(s_.r.Error.ErrorDescription, "Unspecified Error : --ImportProfileHeaders-- 53   File not found");
}

TEST_F(HeaderImportTest, VersionsOfAPairComeJoined) {
  std::string versions = "stale";
  EXPECT_FALSE(VersionsWithApplications(s_.cx, "LGB", "EXC", versions));
  EXPECT_EQ(versions, "");
  StoreProfile(10, "X40", "ab1", 0, "LGB", "EXC");
  StoreProfile(11, "X41U", "ab1", 0, "LGB", "EXC");
  StoreProfile(12, "X50", "ab1", 0, "LGB", "EXD");
  EXPECT_TRUE(VersionsWithApplications(s_.cx, "LGB", "EXC", versions));
  auto pieces = text::Split(versions, "|");
  std::sort(pieces.begin(), pieces.end());
  EXPECT_EQ(pieces, (std::vector<std::string>{"X40", "X41U"}));
}

}  // namespace
}  // namespace kestrel::importer
