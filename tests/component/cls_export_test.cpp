// Kestrel20ImpExp::clsExport beyond the export driver: failures trapped into
// ErrorNumber/ErrorDescription, state kept from call to call on one object,
// and the conversions of the two variant properties, each seen in the pack
// an export writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/files.h"
#include "exporter/pack_readers.h"
#include "kestrel/cls_export.h"
#include "support/error_of.h"
#include "support/store_builder.h"

namespace kestrel::testing {
namespace {

using Kestrel20ImpExp::Variant;

const TestObject kCust{"AR", "CUST", "010"};
// Root 3, child 5, grandchild 9; the grandchild keeps revisions.
const TestProfile kRoot{3, "BAS", "EXT", {"X40", "c", "ab1"}, std::nullopt, "Y"};
const TestProfile kChild{5, "BAS", "EXT", {"X41U", "c", "ab1"}, TestVrc{"X40", "c", "ab1"}, "Y"};
const TestProfile kGrandchild{9, "BAS", "EXT", {"X42U", "c", "ab1"}, TestVrc{"X41U", "c", "ab1"}, "Y"};

class ClsExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store.AddApplication("BAS", 0);
    store.AddApplication("EXT", 1);
    store.AddObject("EXT", 1, kCust);
    store.AddProfile(kRoot);
    store.AddProfile(kChild, {&kRoot});
    store.AddProfile(kGrandchild, {&kChild, &kRoot});
    store.AddRule120(3, kRoot.vrc, kCust, "root CUST");
  }

  // A new, empty export root of its own.
  std::string NewRoot() {
    std::string root = tmp / ("root" + std::to_string(++roots_));
    files::CreateFolder(Env::Default(), root);
    return root;
  }

  // The grandchild's chain pack exported into a new root by an object that
  // `configure` has set; its manifest lines, empty when the export failed.
  template <class Configure>
  std::vector<std::string> ManifestOf(Configure configure) {
    auto e = NewExport(store.connection(), 9, NewRoot(), false);
    configure(*e);
    if (!e->ExportMigrationProfiles()) {
      ADD_FAILURE() << e->get_ErrorDescription();
      return {};
    }
    last_pack = e->PackFolder();
    return LinesOf(last_pack + "/ExportMR.log");
  }

  // The profile numbers of the pack's header records, in their order.
  std::vector<std::string> HeaderProfiles() const {
    std::vector<std::string> out;
    for (const auto& line : LinesOf(last_pack + "/Qzmap100.dat")) out.push_back(line.substr(0, line.find('\1')));
    return out;
  }

  TempFolder tmp;
  StoreBuilder store = StoreBuilder::Empty(tmp / "store.db");
  std::string last_pack;
  int roots_ = 0;
};

TEST_F(ClsExportTest, FailuresAreTrappedAndStateCarriesFromCallToCall) {
  Kestrel20ImpExp::clsExport e;
  EXPECT_FALSE(e.ExportMigrationProfiles());
  EXPECT_EQ(e.get_ErrorNumber(), 999);
  EXPECT_EQ(e.get_ErrorDescription(),
            "UnSpecified Error: --ExportMigrationProfiles-- 91   Object variable or With block variable not set");

  const std::string root = NewRoot();
  e.putref_DataConnection(store.connection());
  e.put_Path(root);
  EXPECT_FALSE(e.ExportMigrationProfiles());
  EXPECT_EQ(e.get_ErrorNumber(), 2);
  EXPECT_EQ(e.get_ErrorDescription(), "Error : Migration Profile Not found PROFILE NUMBER = 0");
  EXPECT_EQ(e.PackFolder(), root);

  // Success clears the error, and Path names the pack, the root of the next export.
  e.put_MigrationProfileTobeExported(9);
  e.put_ExportRevisionInformation(true);
  e.put_ExportToSingleProfile(true);
  e.put_traveseparent(true);
  ASSERT_TRUE(e.ExportMigrationProfiles()) << e.get_ErrorDescription();
  EXPECT_EQ(e.get_ErrorNumber(), 0);
  EXPECT_EQ(e.get_ErrorDescription(), "");
  EXPECT_EQ(e.PackFolder(), root + "/ExportedRules/9-BAS-EXT-S");
  EXPECT_TRUE(Has(LinesOf(e.PackFolder() + "/ExportMR.log"), "ExportRevisions=1"));
  // A profile whose scme is neither Y nor N keeps what the one before said.
  store.Exec("update qzmap100 set scme=NULL where mprf=9");
  ASSERT_TRUE(e.ExportMigrationProfiles()) << e.get_ErrorDescription();
  EXPECT_TRUE(Has(LinesOf(e.PackFolder() + "/ExportMR.log"), "ExportRevisions=1"));

  // A fresh object: a chain pack with every ancestor; an existing pack is not written again.
  ManifestOf([](auto&) {});
  EXPECT_EQ(HeaderProfiles(), (std::vector<std::string>{"9", "5", "3"}));
  auto again = NewExport(store.connection(), 9, last_pack.substr(0, last_pack.find("/ExportedRules/")), false);
  EXPECT_FALSE(again->ExportMigrationProfiles());
  EXPECT_EQ(again->get_ErrorNumber(), 3);
}

TEST_F(ClsExportTest, ExportForSyncTakesTheBooleanOfAVariant) {
  // 1: true, 0: false, 13: no boolean, which reaches the caller and changes nothing.
  const std::pair<Variant, int> rows[] = {
      {Variant(1), 1},       {Variant(-1), 1},     {Variant(int64_t{70000}), 1}, {Variant(0.25), 1},
      {Variant(true), 1},    {Variant("True"), 1}, {Variant(" tRUE "), 1},      {Variant("-3"), 1},
      {Variant("+1"), 1},    {Variant("1e3"), 1},  {Variant("1e999"), 1},       {Variant(0), 0},
      {Variant(0.0), 0},     {Variant(false), 0},  {Variant("False"), 0},       {Variant("0"), 0},
      {Variant(), 0},        {Variant("yes"), 13}, {Variant(""), 13},           {Variant("1 2"), 13},
      {Variant("0x1"), 13},  {Variant("inf"), 13}, {Variant("nan"), 13},        {Variant("+-1"), 13},
      {Variant("12abc"), 13}, {Variant("+"), 13},
  };
  for (const auto& [value, expected] : rows) {
    SCOPED_TRACE(value.ToString());
    auto lines = ManifestOf([&](auto& e) {
      e.put_ExportForSync(Variant(expected != 1));
      ComError err = CaughtFrom([&] { e.put_ExportForSync(value); });
      EXPECT_EQ(err.number(), expected == 13 ? 13 : 0);
      if (expected == 13) { EXPECT_EQ(err.description(), "Type mismatch"); }
    });
    EXPECT_TRUE(Has(lines, expected == 0 ? "ExportForSyn=0" : "ExportForSyn=1"));
  }
}

TEST_F(ClsExportTest, ExportBasedOnTakesTheTextOfAVariant) {
  // The ancestors numbered at or below the text's numeric value stay out; a
  // text that is no number leaves every ancestor in.
  struct Case {
    Variant based_on;
    std::vector<std::string> profiles;
  };
  const std::vector<Case> cases = {
      {Variant(42), {"9"}},             {Variant(-7), {"9", "5", "3"}},  {Variant(5.0), {"9"}},
      {Variant(4), {"9", "5"}},         {Variant(2.5), {"9", "5", "3"}}, {Variant(3.5), {"9", "5"}},
      {Variant(true), {"9", "5", "3"}}, {Variant("0005"), {"9"}},        {Variant("0004"), {"9", "5"}},
      {Variant("none"), {"9", "5", "3"}}, {Variant(), {"9", "5", "3"}},
  };
  for (const auto& c : cases) {
    ManifestOf([&](auto& e) { e.put_ExportBasedOn(c.based_on); });
    EXPECT_EQ(HeaderProfiles(), c.profiles) << c.based_on.ToString();
  }
}

}  // namespace
}  // namespace kestrel::testing
