// clsImport's creation through the installation lookup (505 when it fails,
// the log paths below the installation folder when it succeeds), its
// properties, and creation of both classes by ProgID.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "component/cls_export.h"
#include "component/files.h"
#include "component/cls_import.h"
#include "component/create_object.h"
#include "component/error.h"
#include "component/registry.h"
#include "support/error_of.h"

namespace Kestrel20ImpExp {
namespace {

const char* const kLookupFailed = "Could not retrieve installation directory of Lumo Studio. Cannot Proceed...";

// A registry that holds the installation folder, or nothing.
class FakeRegistry : public Registry {
 public:
  explicit FakeRegistry(std::string folder) : folder_(std::move(folder)) {}
  bool GetKeyValue(uint32_t hive, const std::string& key, const std::string& value_name,
                   std::string& data) override {
    ++calls;
    if (folder_.empty() || hive != HKEY_LOCAL_MACHINE_VALUE || key != "SOFTWARE\\Corvane\\Tresk\\Tresk2.0" ||
        value_name != "Path")
      return false;
    data = folder_;
    return true;
  }
  int calls = 0;

 private:
  std::string folder_;
};

using kestrel::testing::CaughtFrom;

TEST(ClsImportTest, CreationFailsWith505WhenTheLookupFails) {
  auto registry = std::make_shared<FakeRegistry>("");
  ComError err = CaughtFrom([&] { clsImport i(registry); });
  EXPECT_EQ(err.number(), 505);
  EXPECT_EQ(err.description(), kLookupFailed);

  ComError by_progid = CaughtFrom([&] { CreateObject("Kestrel20ImpExp.clsImport", registry); });
  EXPECT_EQ(by_progid.number(), 505);
  EXPECT_EQ(by_progid.description(), kLookupFailed);
}

TEST(ClsImportTest, CreationDerivesTheLogPathsFromTheInstallationFolder) {
  auto registry = std::make_shared<FakeRegistry>("/opt/corvane/lumo");
  clsImport i(registry);
  EXPECT_EQ(registry->calls, 1);
  EXPECT_EQ(i.get_ErrorNumber(), 0);
  EXPECT_EQ(i.get_ErrorDescription(), "");
  const auto& s = detail::StateOf(i);
  EXPECT_EQ(s.InstallationPath, "/opt/corvane/lumo");
  EXPECT_EQ(s.TempSubfolder, "LumoStudio/tmp");
  EXPECT_EQ(s.ImportLogPath, "/opt/corvane/lumo/LumoStudio/tmp/importmr.log");
  EXPECT_EQ(s.BulkLogPath, "/opt/corvane/lumo/LumoStudio/tmp/Lumo22ImportLog.log");
  EXPECT_EQ(s.BulkErrorLogPath, "/opt/corvane/lumo/LumoStudio/tmp/Lumo22ErrLog.log");
  EXPECT_EQ(s.FieldSeparator, std::string(1, '\x01'));
  EXPECT_EQ(s.ListSeparator, "|");
  EXPECT_EQ(s.VrcSeparator, "_");
  EXPECT_EQ(s.Path, "");
  EXPECT_EQ(s.DatabaseServer, "");
  EXPECT_EQ(s.DatabaseName, "");
  EXPECT_EQ(s.DatabaseUser, "");
  EXPECT_EQ(s.DatabasePassword, "");
  EXPECT_EQ(s.LastModifiedUser, "");
  EXPECT_FALSE(s.ManifestNewProfile);
  EXPECT_EQ(s.ManifestNewProfileNumber, 0);
  EXPECT_EQ(s.ManifestApplications, "");
  EXPECT_FALSE(s.ManifestRevisions);
  EXPECT_FALSE(s.ManifestForSync);
  // The folder is neither tested nor created.
  EXPECT_FALSE(files::FolderExists("/opt/corvane/lumo/LumoStudio/tmp"));
}

TEST(ClsImportTest, PropertiesAndTheSixteenBitErrorNumber) {
  clsImport i(std::make_shared<FakeRegistry>("/opt/lumo"));
  i.put_LastModifiedUser("mkeller");
  i.put_Path("/srv/packs/MR_12");
  i.put_DatabaseServer("db01");
  i.put_DatabaseName("profiles");
  i.put_DatabaseUser("loader");
  i.put_DatabasePassword("s3cret'");
  EXPECT_EQ(i.get_LastModifiedUser(), "mkeller");
  EXPECT_EQ(i.get_Path(), "/srv/packs/MR_12");
  const auto& s = detail::StateOf(i);
  EXPECT_EQ(s.DatabaseServer, "db01");
  EXPECT_EQ(s.DatabaseName, "profiles");
  EXPECT_EQ(s.DatabaseUser, "loader");
  EXPECT_EQ(s.DatabasePassword, "s3cret'");
  // The number is kept in 32 bits and read cut to 16.
  detail::StateOf(i).Error.Set(70000, "wide");
  EXPECT_EQ(i.get_ErrorNumber(), 4464);
  detail::StateOf(i).Error.Set(899, "Unspecified Error : --X-- 13   Type mismatch");
  EXPECT_EQ(i.get_ErrorNumber(), 899);
  EXPECT_EQ(i.get_ErrorDescription(), "Unspecified Error : --X-- 13   Type mismatch");
}

TEST(CreateObjectTest, CreatesBothClassesByProgId) {
  auto e = CreateObject("Kestrel20ImpExp.clsExport");
  ASSERT_NE(e.Export, nullptr);
  EXPECT_EQ(e.Import, nullptr);
  EXPECT_EQ(e.Export->get_ErrorNumber(), 0);

  auto i = CreateObject("kestrel20impexp.CLSIMPORT", std::make_shared<FakeRegistry>("/opt/lumo"));
  ASSERT_NE(i.Import, nullptr);
  EXPECT_EQ(i.Export, nullptr);
  EXPECT_EQ(detail::StateOf(*i.Import).ImportLogPath, "/opt/lumo/LumoStudio/tmp/importmr.log");

  for (const char* unknown : {"Kestrel20ImpExp.clsExporter", "clsExport", "", "Scripting.FileSystemObject"}) {
    ComError err = CaughtFrom([&] { CreateObject(unknown); });
    EXPECT_EQ(err.number(), 429) << unknown;
    EXPECT_EQ(err.description(), "ActiveX component can't create object");
  }
}

}  // namespace
}  // namespace Kestrel20ImpExp
