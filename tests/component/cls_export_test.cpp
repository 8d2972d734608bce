// clsExport: defaults after creation and what its property procedures store,
// including the conversions of the two variant properties.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "component/cls_export.h"
#include "component/error.h"
#include "support/error_of.h"

namespace Kestrel20ImpExp {
namespace {

using kestrel::testing::CaughtFrom;

TEST(ClsExportTest, AFreshObjectHasTheDefaults) {
  clsExport e;
  EXPECT_EQ(e.get_ErrorNumber(), 0);
  EXPECT_EQ(e.get_ErrorDescription(), "");
  EXPECT_FALSE(e.get_traveseparent());
  const auto& s = detail::StateOf(e);
  EXPECT_EQ(s.DataConnection, nullptr);
  EXPECT_EQ(s.MigrationProfileTobeExported, 0);
  EXPECT_EQ(s.NewProfileNumber, 0);
  EXPECT_EQ(s.Path, "");
  EXPECT_FALSE(s.OverWrite);
  EXPECT_FALSE(s.ExportRevisionInformation);
  EXPECT_FALSE(s.ExportToSingleProfile);
  EXPECT_EQ(s.TreskDataPath, "");
  EXPECT_EQ(s.ExportBasedOn, "");
  EXPECT_FALSE(s.ExportForSync);
  EXPECT_EQ(s.ManifestStream, nullptr);
  EXPECT_EQ(s.ManifestText, "");
  EXPECT_EQ(s.DataFileList, "");
  EXPECT_EQ(s.RuleFileList, "");
  EXPECT_EQ(s.ApplicationList, "");
  EXPECT_EQ(s.FieldSeparator, std::string(1, '\x01'));
  EXPECT_TRUE(s.RuleStreams.empty());
  EXPECT_FALSE(s.ProfileRevisionsEnabled);
}

TEST(ClsExportTest, PropertiesStoreTheirValuesAndKeepThem) {
  clsExport e;
  e.put_MigrationProfileTobeExported(-32768);
  e.put_NewProfileNumber(32767);
  e.put_Path("/srv/packs");
  e.put_OverWrite(true);
  e.put_ExportRevisionInformation(true);
  e.put_ExportToSingleProfile(true);
  e.put_TreskDataPath("/unused/by/any/operation");
  e.put_traveseparent(true);
  const auto& s = detail::StateOf(e);
  EXPECT_EQ(s.MigrationProfileTobeExported, -32768);
  EXPECT_EQ(s.NewProfileNumber, 32767);
  EXPECT_EQ(s.Path, "/srv/packs");
  EXPECT_EQ(e.PackFolder(), "/srv/packs");
  EXPECT_TRUE(s.OverWrite);
  EXPECT_TRUE(s.ExportRevisionInformation);
  EXPECT_TRUE(s.ExportToSingleProfile);
  EXPECT_EQ(s.TreskDataPath, "/unused/by/any/operation");
  EXPECT_TRUE(e.get_traveseparent());
  e.put_traveseparent(false);
  EXPECT_FALSE(e.get_traveseparent());
}

TEST(ClsExportTest, ExportForSyncTakesTheBooleanOfAVariant) {
  clsExport e;
  const auto& s = detail::StateOf(e);
  // Any non-zero number is true.
  for (const Variant& on : {Variant(1), Variant(-1), Variant(int64_t{70000}), Variant(0.25), Variant(true),
                            Variant("True"), Variant(" tRUE "), Variant("-3"), Variant("+1"), Variant("1e3"), Variant("1e999")}) {
    e.put_ExportForSync(Variant(false));
    e.put_ExportForSync(on);
    EXPECT_TRUE(s.ExportForSync) << on.ToString();
  }
  for (const Variant& off : {Variant(0), Variant(0.0), Variant(false), Variant("False"), Variant("0"), Variant()}) {
    e.put_ExportForSync(Variant(true));
    e.put_ExportForSync(off);
    EXPECT_FALSE(s.ExportForSync) << off.ToString();
  }

  // A value with no boolean reaches the caller as 13 and changes nothing.
  e.put_ExportForSync(Variant(true));
  for (const Variant& bad : {Variant("yes"), Variant(""), Variant("1 2"), Variant("0x1"), Variant("inf"),
                             Variant("nan"), Variant("+-1"), Variant("12abc")}) {
    ComError err = CaughtFrom([&] { e.put_ExportForSync(bad); });
    EXPECT_EQ(err.number(), 13) << bad.ToString();
    EXPECT_EQ(err.description(), "Type mismatch");
    EXPECT_TRUE(s.ExportForSync);
  }
  EXPECT_EQ(e.get_ErrorNumber(), 0);
}

TEST(ClsExportTest, ExportBasedOnTakesTheTextOfAVariant) {
  clsExport e;
  const auto& s = detail::StateOf(e);
  e.put_ExportBasedOn(Variant(42));
  EXPECT_EQ(s.ExportBasedOn, "42");
  e.put_ExportBasedOn(Variant(-7));
  EXPECT_EQ(s.ExportBasedOn, "-7");
  e.put_ExportBasedOn(Variant(12.0));
  EXPECT_EQ(s.ExportBasedOn, "12");
  e.put_ExportBasedOn(Variant(2.5));
  EXPECT_EQ(s.ExportBasedOn, "2.5");
  e.put_ExportBasedOn(Variant(true));
  EXPECT_EQ(s.ExportBasedOn, "True");
  e.put_ExportBasedOn(Variant("0105"));
  EXPECT_EQ(s.ExportBasedOn, "0105");
  e.put_ExportBasedOn(Variant());
  EXPECT_EQ(s.ExportBasedOn, "");
}

}  // namespace
}  // namespace Kestrel20ImpExp
