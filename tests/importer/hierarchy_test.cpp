// The derivation hierarchy on a real store: chains written for roots and
// derived profiles, their failures, the depth under a parent, and the repair
// of descendants' chains after a profile moves to a new parent.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"
#include "importer/entry_points.h"
#include "importer/hierarchy.h"
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

struct Vrc {
  std::string vers, rele, cust;
};

class HierarchyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = store::CreateStore(t_ / "profiles.db");
    s_.cx.DataConnection = store_;
  }

  // A profile header; `from` names its parent by VRC (empty for a root).
  void AddHeader(int64_t mprf, const Vrc& v, const Vrc& from = {}, int64_t deph = 1) {
    auto q = [](const std::string& text) {
      std::string out = "'";
      for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
      return out + "'";
    };
    store_->Execute("insert into qzmap100 (mprf, vers, rele, cust, verf, relf, cusf, sapp, tapp, deph) values (" +
                    std::to_string(mprf) + "," + q(v.vers) + "," + q(v.rele) + "," + q(v.cust) + "," +
                    q(from.vers) + "," + q(from.rele) + "," + q(from.cust) + ",'SAPB1','LGX7'," +
                    std::to_string(deph) + ")");
  }
  // Header and chain, as the import writes a profile.
  bool Import(int16_t mprf, const Vrc& v, int16_t depth, const Vrc& from = {}) {
    AddHeader(mprf, v, from, depth);
    return InsertInMap101(s_.cx, s_.r.Error, mprf, v.vers, v.rele, v.cust, depth, from.vers, from.rele, from.cust);
  }
  // What the import does before it writes a profile again: its header and chain go.
  void Remove(int64_t mprf) {
    store_->Execute("delete from qzmap100 where mprf = " + std::to_string(mprf));
    store_->Execute("delete from qzmap101 where mprf = " + std::to_string(mprf));
  }

  std::vector<ChainRow> Chain(int64_t mprf) { return kestrel::testing::ChainRows(*store_, mprf); }
  int64_t DepthOf(int64_t mprf) {
    return store_->OpenRecordset("select deph from qzmap100 where mprf = " + std::to_string(mprf))
        ->Fields("deph")
        .Integer();
  }
  int32_t DepthUnder(int32_t parent) {
    int32_t mprf = 0, depth = -1;
    EXPECT_TRUE(GetDepthOfProfile(s_.cx, mprf, parent, depth));
    return depth;
  }
  std::vector<std::string> Sorted(const std::string& list) {
    auto items = text::Split(list, ", ");
    std::sort(items.begin(), items.end());
    return items;
  }

  // A root 10, 20 derived from it, 30 derived from 20.
  void ThreeLevels() {
    ASSERT_TRUE(Import(10, kRoot, 1));
    ASSERT_TRUE(Import(20, kChild, 2, kRoot));
    ASSERT_TRUE(Import(30, kGrandchild, 3, kChild));
  }

  const Vrc kRoot{"X40", "01", "STD"};
  const Vrc kChild{"X41U", "01", "STD"};
  const Vrc kGrandchild{"X42U", "01", "STD"};
  TempFolder t_;
  std::shared_ptr<store::Connection> store_;
  ImportParts s_;
};

TEST_F(HierarchyTest, ARootGetsOneRowNamingItself) {
  ASSERT_TRUE(Import(10, kRoot, 1));
  EXPECT_EQ(Chain(10), (std::vector<ChainRow>{{1, "X40", "01", "STD", 10}}));
  EXPECT_EQ(s_.r.Error.ErrorNumber, 0);
}

TEST_F(HierarchyTest, ThreeLevelsChainEveryAncestor) {
  ThreeLevels();
  EXPECT_EQ(Chain(30), (std::vector<ChainRow>{{1, "X42U", "01", "STD", 30},
                                              {2, "X41U", "01", "STD", 20},
                                              {3, "X40", "01", "STD", 10}}));
  EXPECT_EQ(Chain(20), (std::vector<ChainRow>{{1, "X41U", "01", "STD", 20}, {2, "X40", "01", "STD", 10}}));
  EXPECT_EQ(DepthUnder(0), 1);
  EXPECT_EQ(DepthUnder(10), 2);
  EXPECT_EQ(DepthUnder(20), 3);
  EXPECT_EQ(DepthUnder(30), 4);
  EXPECT_EQ(DepthUnder(77), 2);  // a parent the store does not hold counts as a root

  EXPECT_EQ(GetParentProfile(s_.cx, 30), "20");
  EXPECT_EQ(GetParentProfile(s_.cx, 10), "");
  EXPECT_EQ(GetParentProfile(s_.cx, 77), "");
  EXPECT_EQ(Sorted(GetDerivedProfiles(s_.cx, s_.r.Error, "10")), (std::vector<std::string>{"10", "20", "30"}));
  EXPECT_EQ(Sorted(GetDerivedProfiles(s_.cx, s_.r.Error, "20")), (std::vector<std::string>{"20", "30"}));
  EXPECT_EQ(GetDerivedProfiles(s_.cx, s_.r.Error, "30"), "30");
  EXPECT_EQ(GetDerivedProfiles(s_.cx, s_.r.Error, "77"), "");
}

TEST_F(HierarchyTest, ProfileVrcFillsElementsOneToThree) {
  ThreeLevels();
  std::vector<std::string> vrc{"stale"};
  EXPECT_TRUE(GetProfileVRC(s_.cx, s_.r.Error, " 20 ", vrc));
  EXPECT_EQ(vrc, (std::vector<std::string>{"", "X41U", "01", "STD", ""}));
  EXPECT_TRUE(GetProfileVRC(s_.cx, s_.r.Error, "77", vrc));
  EXPECT_EQ(vrc, std::vector<std::string>(5));
}

TEST_F(HierarchyTest, ASecondLevelOneRowIs801AndWritesNothing) {
  ThreeLevels();
  EXPECT_FALSE(InsertInMap101(s_.cx, s_.r.Error, 20, "X41U", "01", "STD", 2, "X40", "01", "STD"));
  EXPECT_EQ(s_.r.Error.ErrorNumber, 801);
  EXPECT_EQ(s_.r.Error.ErrorDescription,
            "Error : --InsertInMap101-- Profile By Parent Profile Duplicate records not allowed");
  EXPECT_EQ(Chain(20).size(), 2u);
}

TEST_F(HierarchyTest, AMissingParentIs802AfterTheLevelOneRow) {
  ASSERT_TRUE(Import(10, kRoot, 1));
  EXPECT_FALSE(Import(40, {"X44U", "02", "ACME"}, 2, {"X43U", "02", "ACME"}));
  EXPECT_EQ(s_.r.Error.ErrorNumber, 802);
  EXPECT_EQ(s_.r.Error.ErrorDescription, "Error : --InsertInMap101-- Parent Profile is missing");
  EXPECT_EQ(Chain(40), (std::vector<ChainRow>{{1, "X44U", "02", "ACME", 40}}));
}

TEST_F(HierarchyTest, QuotesInVrcsAreStoredAsTheyAre) {
  const Vrc odd{"X4'0", "0'1", "O'NEIL"};
  ASSERT_TRUE(Import(10, odd, 1));
  ASSERT_TRUE(Import(20, kChild, 2, odd));
  EXPECT_EQ(Chain(20), (std::vector<ChainRow>{{1, "X41U", "01", "STD", 20}, {2, "X4'0", "0'1", "O'NEIL", 10}}));
}

TEST_F(HierarchyTest, UnexpectedFailuresAre899WithTheProcedureName) {
  ImportParts unconnected;
  EXPECT_FALSE(InsertInMap101(unconnected.cx, unconnected.r.Error, 10, "X40", "01", "STD", 1, "", "", ""));
  EXPECT_EQ(unconnected.r.Error.ErrorNumber, 899);
  EXPECT_EQ(unconnected.r.Error.ErrorDescription,
            "Unspecified Error : --InsertInMap101-- 91   Object variable or With block variable not set");

  store_->Execute("drop table qzmap101");
  EXPECT_FALSE(InsertInMap101(s_.cx, s_.r.Error, 10, "X40", "01", "STD", 1, "", "", ""));
  EXPECT_EQ(s_.r.Error.ErrorNumber, 899);
  EXPECT_EQ(s_.r.Error.ErrorDescription.rfind("Unspecified Error : --InsertInMap101-- ", 0), 0u);
  EXPECT_NE(s_.r.Error.ErrorDescription.find("qzmap101"), std::string::npos) << s_.r.Error.ErrorDescription;

  EXPECT_EQ(GetDerivedProfiles(s_.cx, s_.r.Error, "10"), "");
  EXPECT_EQ(s_.r.Error.ErrorDescription.rfind("Unspecified Error : --GetDerivedProfiles-- ", 0), 0u);
  EXPECT_EQ(GetDerivedProfiles(s_.cx, s_.r.Error, "ten"), "");
  EXPECT_EQ(s_.r.Error.ErrorDescription, "Unspecified Error : --GetDerivedProfiles-- 13   Type mismatch");

  // The depth and the parent look-up are not trapped: the failure reaches the caller.
  int32_t mprf = 0, parent = 20, depth = 0;
  EXPECT_THROW(GetDepthOfProfile(s_.cx, mprf, parent, depth), ComError);
  EXPECT_THROW(GetParentProfile(s_.cx, 20), ComError);
  EXPECT_THROW(GetDepthOfProfile(unconnected.cx, mprf, parent, depth), ComError);
}

// Profile 20 (with 30 below it, and 40 below 30) is imported again under 5,
// itself derived from the root 1.
class ReparentTest : public HierarchyTest {
 protected:
  void SetUp() override {
    HierarchyTest::SetUp();
    ASSERT_TRUE(Import(1, kTop, 1));
    ASSERT_TRUE(Import(5, kMiddle, 2, kTop));
    ThreeLevels();
    ASSERT_TRUE(Import(40, kFourth, 4, kGrandchild));
  }
  // The import's steps for 20: remember what hangs below it, write it anew.
  std::vector<std::string> MoveChildUnder5() {
    std::vector<std::string> chains{"20_" + GetDerivedProfiles(s_.cx, s_.r.Error, "20")};
    Remove(20);
    EXPECT_TRUE(Import(20, kChild, 3, kMiddle));
    return chains;
  }
  const Vrc kTop{"X30", "01", "STD"};
  const Vrc kMiddle{"X31U", "01", "STD"};
  const Vrc kFourth{"X43U", "01", "STD"};
};

TEST_F(ReparentTest, DescendantsKeepTheirLowerRowsAndTakeTheNewUpperChain) {
  auto chains = MoveChildUnder5();
  EXPECT_TRUE(AdjustDerivedChains(s_.cx, s_.r.Error, chains));

  EXPECT_EQ(Chain(20), (std::vector<ChainRow>{{1, "X41U", "01", "STD", 20},
                                              {2, "X31U", "01", "STD", 5},
                                              {3, "X30", "01", "STD", 1}}));
  EXPECT_EQ(Chain(30), (std::vector<ChainRow>{{1, "X42U", "01", "STD", 30},
                                              {2, "X41U", "01", "STD", 20},
                                              {3, "X31U", "01", "STD", 5},
                                              {4, "X30", "01", "STD", 1}}));
  EXPECT_EQ(DepthOf(30), 4);
  EXPECT_EQ(Chain(40), (std::vector<ChainRow>{{1, "X43U", "01", "STD", 40},
                                              {2, "X42U", "01", "STD", 30},
                                              {3, "X41U", "01", "STD", 20},
                                              {4, "X31U", "01", "STD", 5},
                                              {5, "X30", "01", "STD", 1}}));
  EXPECT_EQ(DepthOf(40), 5);
  // 10 lost its descendants; its own chain is untouched.
  EXPECT_EQ(GetDerivedProfiles(s_.cx, s_.r.Error, "10"), "10");
  EXPECT_EQ(DepthUnder(40), 6);
}

TEST_F(ReparentTest, UnderARootTheDepthShrinks) {
  std::vector<std::string> chains{"20_" + GetDerivedProfiles(s_.cx, s_.r.Error, "20")};
  Remove(20);
  ASSERT_TRUE(Import(20, kChild, 1));  // now a root itself
  EXPECT_TRUE(AdjustDerivedChains(s_.cx, s_.r.Error, chains));
  EXPECT_EQ(Chain(30), (std::vector<ChainRow>{{1, "X42U", "01", "STD", 30}, {2, "X41U", "01", "STD", 20}}));
  EXPECT_EQ(DepthOf(30), 2);
  EXPECT_EQ(DepthOf(40), 3);
}

TEST_F(ReparentTest, IncompleteElementsAndStrangersAreSkipped) {
  auto before30 = Chain(30);
  // Elements without both parts do nothing; 1 does not stand in the chain of 30.
  EXPECT_TRUE(AdjustDerivedChains(s_.cx, s_.r.Error, {"_", "20_", "_20, 30", "1_30"}));
  EXPECT_EQ(Chain(30), before30);
  EXPECT_EQ(DepthOf(30), 3);
}

TEST_F(ReparentTest, ALoopAmongTheParentsStopsWithOurError) {
  // Corrupt the store: 5's parent becomes 20, whose parent is 5.
  auto chains = MoveChildUnder5();
  store_->Execute("update qzmap101 set pprf = 20 where mprf = 5 and levl = 2");
  EXPECT_FALSE(AdjustDerivedChains(s_.cx, s_.r.Error, chains));
  EXPECT_EQ(s_.r.Error.ErrorNumber, Number(Ours::ChainTooLong));
  EXPECT_NE(s_.r.Error.ErrorDescription.find("profile 20"), std::string::npos) << s_.r.Error.ErrorDescription;

  int32_t mprf = 0, parent = 30, depth = 0;
  try {
    GetDepthOfProfile(s_.cx, mprf, parent, depth);
    ADD_FAILURE() << "a looping chain gave depth " << depth;
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), Number(Ours::ChainTooLong));
  }
  // A profile that names itself as its parent.
  store_->Execute("update qzmap101 set pprf = 10 where mprf = 10 and levl = 1");
  store_->Execute("insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values (10, 2, 'X40', '01', 'STD', 10)");
  parent = 10;
  EXPECT_THROW(GetDepthOfProfile(s_.cx, mprf, parent, depth), ComError);
}

}  // namespace
}  // namespace kestrel::importer
