// Kestrel20ImpExp::clsExport: defaults after creation and what its property procedures store,
// including the conversions of the two variant properties, each seen in the
// pack and manifest an export writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "kestrel/cls_export.h"
#include "base/error.h"
#include "base/files.h"
#include "exporter/export_store.h"
#include "support/error_of.h"

namespace kestrel::testing {
namespace {

using kestrel::testing::CaughtFrom;

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
    std::string root = store.Folder("root" + std::to_string(++roots_));
    files::CreateFolder(Env::Default(), root);
    return root;
  }

  // The grandchild's chain pack exported into a new root by an object that
  // `configure` has set; its manifest lines, empty when the export failed.
  template <class Configure>
  std::vector<std::string> ManifestOf(Configure configure) {
    Kestrel20ImpExp::clsExport e;
    e.putref_DataConnection(store.connection());
    e.put_MigrationProfileTobeExported(9);
    e.put_Path(NewRoot());
    configure(e);
    if (!e.ExportMigrationProfiles()) {
      ADD_FAILURE() << e.get_ErrorDescription();
      return {};
    }
    last_pack = e.PackFolder();
    return LinesOf(last_pack + "/ExportMR.log");
  }

  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  // The profile numbers of the pack's header records, in their order.
  std::vector<std::string> HeaderProfiles() const {
    std::vector<std::string> out;
    for (const auto& line : LinesOf(last_pack + "/Qzmap100.dat")) out.push_back(line.substr(0, line.find('\1')));
    return out;
  }

  ExportStore store;
  std::string last_pack;

 private:
  int roots_ = 0;
};

TEST_F(ClsExportTest, AFreshObjectHasTheDefaults) {
  Kestrel20ImpExp::clsExport e;
  EXPECT_EQ(e.get_ErrorNumber(), 0);
  EXPECT_EQ(e.get_ErrorDescription(), "");
  EXPECT_FALSE(e.get_traveseparent());
  EXPECT_EQ(e.PackFolder(), "");

  // No connection.
  EXPECT_FALSE(e.ExportMigrationProfiles());
  EXPECT_EQ(e.get_ErrorDescription(),
            "UnSpecified Error: --ExportMigrationProfiles-- 91   Object variable or With block variable not set");
  EXPECT_EQ(e.PackFolder(), "");

  // Profile 0, which the store does not hold.
  const std::string root = NewRoot();
  e.putref_DataConnection(store.connection());
  e.put_Path(root);
  EXPECT_FALSE(e.ExportMigrationProfiles());
  EXPECT_EQ(e.get_ErrorNumber(), 2);
  EXPECT_EQ(e.get_ErrorDescription(), "Error : Migration Profile Not found PROFILE NUMBER = 0");
  EXPECT_EQ(e.PackFolder(), root);

  // Otherwise untouched: a chain pack with every ancestor, announcing no new
  // number, not for synchronisation, without revisions although the profile
  // keeps them; an existing pack is not written again.
  auto lines = ManifestOf([](Kestrel20ImpExp::clsExport&) {});
  EXPECT_EQ(last_pack.substr(last_pack.rfind('/') + 1), "9-BAS-EXT-M");
  EXPECT_TRUE(Has(lines, "ExportToNewProfile=0"));
  EXPECT_TRUE(Has(lines, "ExportForSyn=0"));
  EXPECT_TRUE(Has(lines, "ExportRevisions=0"));
  EXPECT_EQ(HeaderProfiles(), (std::vector<std::string>{"9", "5", "3"}));

  Kestrel20ImpExp::clsExport again;
  again.putref_DataConnection(store.connection());
  again.put_MigrationProfileTobeExported(9);
  again.put_Path(last_pack.substr(0, last_pack.find("/ExportedRules/")));
  EXPECT_FALSE(again.ExportMigrationProfiles());
  EXPECT_EQ(again.get_ErrorNumber(), 3);
}

TEST_F(ClsExportTest, PropertiesStoreTheirValuesAndKeepThem) {
  Kestrel20ImpExp::clsExport e;
  e.put_MigrationProfileTobeExported(-32768);
  e.put_Path("/srv/packs");
  EXPECT_EQ(e.PackFolder(), "/srv/packs");
  e.put_traveseparent(true);
  EXPECT_TRUE(e.get_traveseparent());
  e.put_traveseparent(false);
  EXPECT_FALSE(e.get_traveseparent());

  const std::string root = NewRoot();
  e.putref_DataConnection(store.connection());
  e.put_Path(root);
  EXPECT_FALSE(e.ExportMigrationProfiles());
  EXPECT_EQ(e.get_ErrorDescription(), "Error : Migration Profile Not found PROFILE NUMBER = -32768");

  // A single-profile pack with a new number and revisions, written twice into
  // the same folder because overwriting is allowed.
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    Kestrel20ImpExp::clsExport s;
    s.putref_DataConnection(store.connection());
    s.put_MigrationProfileTobeExported(9);
    s.put_NewProfileNumber(32767);
    s.put_Path(root);
    s.put_OverWrite(true);
    s.put_ExportRevisionInformation(true);
    s.put_ExportToSingleProfile(true);
    s.put_TreskDataPath("/unused/by/any/operation");
    s.put_traveseparent(true);
    ASSERT_TRUE(s.ExportMigrationProfiles()) << s.get_ErrorDescription();
    EXPECT_EQ(s.PackFolder(), root + "/ExportedRules/9-BAS-EXT-S");
    auto lines = LinesOf(s.PackFolder() + "/ExportMR.log");
    EXPECT_TRUE(Has(lines, "ExportToNewProfile=32767"));
    EXPECT_TRUE(Has(lines, "ExportRevisions=1"));
    // The inherited rule, found by climbing to the root.
    EXPECT_EQ(ColumnOf(RecordsOf(s.PackFolder(), pack::kQzmap120), "prtx"), std::vector<std::string>{"root CUST"});
  }
}

TEST_F(ClsExportTest, ExportForSyncTakesTheBooleanOfAVariant) {
  // Any non-zero number is true.
  for (const Kestrel20ImpExp::Variant& on : {Kestrel20ImpExp::Variant(1), Kestrel20ImpExp::Variant(-1), Kestrel20ImpExp::Variant(int64_t{70000}), Kestrel20ImpExp::Variant(0.25), Kestrel20ImpExp::Variant(true),
                            Kestrel20ImpExp::Variant("True"), Kestrel20ImpExp::Variant(" tRUE "), Kestrel20ImpExp::Variant("-3"), Kestrel20ImpExp::Variant("+1"), Kestrel20ImpExp::Variant("1e3"), Kestrel20ImpExp::Variant("1e999")}) {
    auto lines = ManifestOf([&](Kestrel20ImpExp::clsExport& e) {
      e.put_ExportForSync(Kestrel20ImpExp::Variant(false));
      e.put_ExportForSync(on);
    });
    EXPECT_TRUE(Has(lines, "ExportForSyn=1")) << on.ToString();
  }
  for (const Kestrel20ImpExp::Variant& off : {Kestrel20ImpExp::Variant(0), Kestrel20ImpExp::Variant(0.0), Kestrel20ImpExp::Variant(false), Kestrel20ImpExp::Variant("False"), Kestrel20ImpExp::Variant("0"), Kestrel20ImpExp::Variant()}) {
    auto lines = ManifestOf([&](Kestrel20ImpExp::clsExport& e) {
      e.put_ExportForSync(Kestrel20ImpExp::Variant(true));
      e.put_ExportForSync(off);
    });
    EXPECT_TRUE(Has(lines, "ExportForSyn=0")) << off.ToString();
  }

  // A value with no boolean reaches the caller as 13 and changes nothing.
  for (const Kestrel20ImpExp::Variant& bad : {Kestrel20ImpExp::Variant("yes"), Kestrel20ImpExp::Variant(""), Kestrel20ImpExp::Variant("1 2"), Kestrel20ImpExp::Variant("0x1"), Kestrel20ImpExp::Variant("inf"),
                             Kestrel20ImpExp::Variant("nan"), Kestrel20ImpExp::Variant("+-1"), Kestrel20ImpExp::Variant("12abc")}) {
    auto lines = ManifestOf([&](Kestrel20ImpExp::clsExport& e) {
      e.put_ExportForSync(Kestrel20ImpExp::Variant(true));
      ComError err = CaughtFrom([&] { e.put_ExportForSync(bad); });
      EXPECT_EQ(err.number(), 13) << bad.ToString();
      EXPECT_EQ(err.description(), "Type mismatch");
      EXPECT_EQ(e.get_ErrorNumber(), 0);
    });
    EXPECT_TRUE(Has(lines, "ExportForSyn=1")) << bad.ToString();
  }
}

TEST_F(ClsExportTest, ExportBasedOnTakesTheTextOfAVariant) {
  // The ancestors numbered at or below the text's numeric value stay out; a
  // text that is no number leaves every ancestor in.
  struct Case {
    Kestrel20ImpExp::Variant based_on;
    std::vector<std::string> profiles;
  };
  const std::vector<Case> cases = {
      {Kestrel20ImpExp::Variant(42), {"9"}},          {Kestrel20ImpExp::Variant(-7), {"9", "5", "3"}},  {Kestrel20ImpExp::Variant(5.0), {"9"}},
      {Kestrel20ImpExp::Variant(4), {"9", "5"}},      {Kestrel20ImpExp::Variant(2.5), {"9", "5", "3"}}, {Kestrel20ImpExp::Variant(3.5), {"9", "5"}},
      {Kestrel20ImpExp::Variant(true), {"9", "5", "3"}}, {Kestrel20ImpExp::Variant("0005"), {"9"}},     {Kestrel20ImpExp::Variant("0004"), {"9", "5"}},
      {Kestrel20ImpExp::Variant(), {"9", "5", "3"}},
  };
  for (const auto& c : cases) {
    ManifestOf([&](Kestrel20ImpExp::clsExport& e) { e.put_ExportBasedOn(c.based_on); });
    EXPECT_EQ(HeaderProfiles(), c.profiles) << c.based_on.ToString();
  }
}

}  // namespace
}  // namespace kestrel::testing
