// The import plan look-ups (both directions), a header line taking the user's
// selection, and the header map: its look-up and its joined form.
#include <gtest/gtest.h>

#include "base/error.h"
#include "importer/plan_lookups.h"
#include "store/connection.h"
#include "import_parts.h"

namespace kestrel::importer {
namespace {

using testing::ImportParts;

struct PlanEntry {
  int32_t source, source_parent;
  std::string sapp, tapp;
  int32_t target, target_parent;
  std::string target_sapp, target_tapp;
};

void SetPlan(ImportParts& s, const std::vector<PlanEntry>& entries) {
  ImportPlan p;
  for (const auto& e : entries) {
    p.SourceProfiles[0].push_back(e.source);
    p.SourceProfiles[1].push_back(e.source_parent);
    p.SourceApplications[0].push_back(e.sapp);
    p.SourceApplications[1].push_back(e.tapp);
    p.TargetProfiles[0].push_back(e.target);
    p.TargetProfiles[1].push_back(e.target_parent);
    p.TargetApplications[0].push_back(e.target_sapp);
    p.TargetApplications[1].push_back(e.target_tapp);
    p.DevelopmentVRCs.push_back("__");
  }
  p.Size = static_cast<int32_t>(entries.size()) - 1;
  s.r.Plan = p;
}

std::string HeaderLine(const std::string& mprf, size_t fields = 18) {
  std::vector<std::string> f = {mprf, "LGA", "EXB", "X40", "c", "ab1", "", "", "", "Ledger to Exchange", "N",
                                "1", "jmartin", "", "", "", "", "Ledger"};
  f.resize(fields, "extra");
  std::string line;
  for (size_t i = 0; i < f.size(); ++i) line += (i ? "\x01" : "") + f[i];
  return line;
}

TEST(PlanLookupTest, MapsBothWaysTakingTheFirstMatch) {
  ImportParts s;
  EXPECT_EQ(MapSourceProfile(s.r.Plan, 5), 0) << "empty plan";
  EXPECT_EQ(MapTargetProfile(s.r.Plan, 5), 0);

  // Pack profile 5 appears twice (a hand-made selection): the first entry wins.
  SetPlan(s, {{5, 0, "LGA", "EXB", 40, 0, "LGB", "EXC"},
              {7, 5, "LGA", "EXB", 41, 40, "LGB", "EXC"},
              {5, 0, "LGA", "EXB", 42, 0, "LGB", "EXC"}});
  EXPECT_EQ(MapSourceProfile(s.r.Plan, 5), 40);
  EXPECT_EQ(MapSourceProfile(s.r.Plan, 7), 41);
  EXPECT_EQ(MapSourceProfile(s.r.Plan, 40), 0) << "a target number is not a source number";
  EXPECT_EQ(MapTargetProfile(s.r.Plan, 41), 7);
  EXPECT_EQ(MapTargetProfile(s.r.Plan, 42), 5);
  EXPECT_EQ(MapTargetProfile(s.r.Plan, 7), 0);

  // Entries beyond the plan size do not count.
  s.r.Plan.Size = 0;
  EXPECT_EQ(MapSourceProfile(s.r.Plan, 7), 0);
  EXPECT_EQ(MapTargetProfile(s.r.Plan, 41), 0);
}

TEST(PlanLookupTest, HeaderLineTakesNumberAndApplicationsOfItsTargetEntry) {
  ImportParts s;
  SetPlan(s, {{5, 0, "LGA", "EXB", 40, 0, "LGB", "EXC"}, {7, 5, "LGA", "EXB", 41, 40, "LGD", "EXD"}});
  int32_t index = -1;
  std::vector<std::string> fields;
  ASSERT_TRUE(ApplySelectionToHeader(s.r.Plan, s.o.FieldSeparator, s.r.Error, HeaderLine(" 7 "), index, fields));
  EXPECT_EQ(index, 1);
  ASSERT_EQ(fields.size(), 18u);
  EXPECT_EQ(fields[0], "41");
  EXPECT_EQ(fields[1], "LGD");
  EXPECT_EQ(fields[2], "EXD");
  EXPECT_EQ(fields[3], "X40") << "the VRC stays the pack's";
  EXPECT_EQ(fields[12], "jmartin");
  EXPECT_EQ(fields[17], "Ledger");
  EXPECT_EQ(s.r.Error.ErrorNumber, 0);
}

TEST(PlanLookupTest, HeaderLineWithoutEighteenFieldsOrOutsideThePlanIsRefused) {
  ImportParts s;
  SetPlan(s, {{5, 0, "LGA", "EXB", 40, 0, "LGB", "EXC"}});
  int32_t index = -1;
  std::vector<std::string> fields;
  for (size_t width : {17u, 19u}) {
    s.r.Error.Clear();
    EXPECT_FALSE(ApplySelectionToHeader(s.r.Plan, s.o.FieldSeparator, s.r.Error, HeaderLine("5", width), index, fields)) << width;
    EXPECT_EQ(s.r.Error.ErrorNumber, 100);
    EXPECT_EQ(s.r.Error.ErrorDescription, kHeaderLineCorrupt);
  }
  EXPECT_EQ(index, -1);

  s.r.Error.Clear();
  try {
    ApplySelectionToHeader(s.r.Plan, s.o.FieldSeparator, s.r.Error, HeaderLine("6"), index, fields);
    ADD_FAILURE() << "profile 6 is not in the plan";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 100);
    EXPECT_EQ(e.description(), "The profile could not be found in user selected list.");
  }
  try {
    ApplySelectionToHeader(s.r.Plan, s.o.FieldSeparator, s.r.Error, HeaderLine("five"), index, fields);
    ADD_FAILURE() << "not a number";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), rt::TypeMismatch);
  }
}

// The run log lists the imported profiles as the map's elements joined by the
// field separator, in map order.
TEST(HeaderMapTest, ImportedProfilesJoinTheMapInOrder) {
  const struct {
    std::vector<std::string> map;
    std::string separator;
    std::string joined;
  } cases[] = {
      {{"41_X41_c_ab1", "40_X40_c_imp1"}, "\x01", "41_X41_c_ab1\x01" "40_X40_c_imp1"},
      {{}, "\x01", ""},
      {{"40_X40_c_ab1"}, "\x01", "40_X40_c_ab1"},
      {{"12_X40_c_ab1", "13_X41_c_ab1", "14_X42_c_ab1"}, "|", "12_X40_c_ab1|13_X41_c_ab1|14_X42_c_ab1"},
  };
  for (const auto& c : cases) EXPECT_EQ(ImportedProfiles(c.map, c.separator), c.joined);
}

TEST(HeaderMapTest, DevelopmentPartsReplaceTheFirstCharacter) {
  const std::pair<std::string, std::string> cases[] = {{"X40", "d40"}, {"ab1", "db1"}, {"c", "d"}, {"", "d"}};
  for (const auto& [part, development] : cases) EXPECT_EQ(DevelopmentPart(part), development) << part;
}

TEST(HeaderMapTest, EntriesSplitAndJoinAtUnderscore) {
  HeaderEntry e = SplitHeaderEntry("40_X40_c_ab1");
  EXPECT_EQ(e.Number, "40");
  EXPECT_EQ(e.Vers, "X40");
  EXPECT_EQ(e.Rele, "c");
  EXPECT_EQ(e.Cust, "ab1");
  EXPECT_EQ(JoinHeaderEntry(e), "40_X40_c_ab1");
  // Empty parts are parts.
  EXPECT_EQ(JoinHeaderEntry(SplitHeaderEntry("40___")), "40___");
  try {
    SplitHeaderEntry("40_X40_c");
    ADD_FAILURE() << "three pieces";
  } catch (const ComError& e3) {
    EXPECT_EQ(e3.number(), rt::SubscriptOutOfRange);
  }
}

TEST(HeaderMapTest, FindsTheFirstEntryOfANumber) {
  std::vector<std::string> map;
  EXPECT_FALSE(FindInHeaderMap(map, 40).has_value());
  map = {"41_X41_c_ab1", "40_X40_c_imp1", "40_X40_c_imp2"};
  auto m = FindInHeaderMap(map, 40);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->Position, 1u);
  EXPECT_EQ(m->Entry.Cust, "imp1");
  EXPECT_FALSE(FindInHeaderMap(map, 4).has_value());

  map = {"4x_X41_c_ab1"};
  EXPECT_THROW(FindInHeaderMap(map, 4), ComError) << "a number that is not numeric fails";
}

}  // namespace
}  // namespace kestrel::importer
