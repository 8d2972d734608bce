// The component's classes: clsExport beyond the export driver (failures
// trapped into ErrorNumber/ErrorDescription, state kept from call to call on
// one object), the conversions of the variant its properties take, and
// creation of both classes by ProgID.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "base/files.h"
#include "exporter/pack_readers.h"
#include "kestrel/cls_export.h"
#include "kestrel/cls_import.h"
#include "kestrel/create_object.h"
#include "kestrel/registry.h"
#include "support/error_of.h"
#include "support/store_builder.h"

namespace kestrel::testing {
namespace {

using Kestrel20ImpExp::Variant;
using ::testing::Contains;

// What the export driver's tests do not see: a failure with no store is
// trapped, success clears it, and options stay set from call to call on one
// object, even when the profile's scme says neither Y nor N.
TEST(ClsExportTest, FailuresAreTrappedAndStateCarriesFromCallToCall) {
  TempFolder tmp;
  StoreBuilder store = StoreBuilder::RootAndChild(tmp / "store.db", 3, 9, "root CUST");
  Kestrel20ImpExp::clsExport e;
  EXPECT_FALSE(e.ExportMigrationProfiles());
  EXPECT_EQ(std::to_string(e.get_ErrorNumber()) + " " + e.get_ErrorDescription(), "999 UnSpecified Error: "
            "--ExportMigrationProfiles-- 91   Object variable or With block variable not set");
  e.putref_DataConnection(store.connection());
  e.put_Path(tmp.path());
  e.put_MigrationProfileTobeExported(9);
  e.put_ExportRevisionInformation(true);
  e.put_ExportToSingleProfile(true);
  e.put_traveseparent(true);
  std::string pack = tmp.path();
  for (const char* scme : {"'Y'", "NULL"}) {
    SCOPED_TRACE(scme);
    store.Exec(std::string("update qzmap100 set scme=") + scme + " where mprf=9");
    ASSERT_TRUE(e.ExportMigrationProfiles()) << e.get_ErrorDescription();
    EXPECT_EQ(std::to_string(e.get_ErrorNumber()) + e.get_ErrorDescription(), "0");
    pack += "/ExportedRules/9-BAS-EXT-S";  // Path names the pack: the root of the next export
    EXPECT_EQ(e.PackFolder(), pack);
    EXPECT_THAT(LinesOf(e.PackFolder() + "/ExportMR.log"), Contains("ExportRevisions=1"));
  }
}

TEST(VariantTest, TextAndBooleanOfEachKind) {
  // The boolean is 1 for true, 0 for false, 13 where there is none.
  const struct { Variant value; const char* text; int boolean; } rows[] = {
      {Variant(1), "1", 1}, {Variant(-1), "-1", 1}, {Variant(int64_t{70000}), "70000", 1}, {Variant(0.25), "0.25", 1},
      {Variant(5.0), "5", 1}, {Variant(true), "True", 1}, {Variant(false), "False", 0}, {Variant(), "", 0},
      {Variant(0), "0", 0}, {Variant(0.0), "0", 0}, {Variant(" tRUE "), " tRUE ", 1}, {Variant("False"), "False", 0},
      {Variant("-3"), "-3", 1}, {Variant("+1"), "+1", 1}, {Variant("1e3"), "1e3", 1}, {Variant("1e999"), "1e999", 1},
      {Variant("0"), "0", 0}, {Variant("yes"), "yes", 13}, {Variant(""), "", 13}, {Variant("1 2"), "1 2", 13},
      {Variant("0x1"), "0x1", 13}, {Variant("inf"), "inf", 13}, {Variant("nan"), "nan", 13},
      {Variant("+-1"), "+-1", 13}, {Variant("12abc"), "12abc", 13}, {Variant("+"), "+", 13},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(row.value.ToString(), row.text);
    bool b = false;
    const ComError err = CaughtFrom([&] { b = row.value.ToBool(); });
    const std::string got = err.number() ? std::to_string(err.number()) + " " + err.description() : std::to_string(b);
    EXPECT_EQ(got, row.boolean == 13 ? "13 Type mismatch" : std::to_string(row.boolean));
  }
}

// A registry that holds the installation folder, or nothing.
struct FakeRegistry : Registry {
  explicit FakeRegistry(std::string f) : folder(std::move(f)) {}
  bool GetKeyValue(uint32_t, const std::string&, const std::string&, std::string& data) override {
    if (folder.empty()) return false;
    data = folder;
    return true;
  }
  std::string folder;
};

TEST(CreateObjectTest, CreatesBothClassesByProgId) {
  auto e = Kestrel20ImpExp::CreateObject("Kestrel20ImpExp.clsExport");
  ASSERT_NE(e.Export, nullptr);
  EXPECT_EQ(e.Import, nullptr);
  auto i = Kestrel20ImpExp::CreateObject("kestrel20impexp.CLSIMPORT", std::make_shared<FakeRegistry>("/opt/lumo"));
  ASSERT_NE(i.Import, nullptr);
  EXPECT_EQ(i.Export, nullptr);
  std::string path;
  ASSERT_TRUE(i.Import->GetLumoInstallationPath(path));
  EXPECT_EQ(path, "/opt/lumo");
  const auto none = std::make_shared<FakeRegistry>("");
  EXPECT_EQ(ErrorOf([&] { Kestrel20ImpExp::CreateObject("Kestrel20ImpExp.clsImport", none); }), 505);
  for (const char* unknown : {"Kestrel20ImpExp.clsExporter", "clsExport", ""}) {
    const ComError err = CaughtFrom([&] { Kestrel20ImpExp::CreateObject(unknown); });
    EXPECT_EQ(err.number(), 429) << unknown;
    EXPECT_EQ(err.description(), "ActiveX component can't create object");
  }
}

}  // namespace
}  // namespace kestrel::testing
