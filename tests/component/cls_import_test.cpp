// Kestrel20ImpExp::clsImport's creation through the installation lookup (505 when it fails,
// the run log below the installation folder when it succeeds), its store
// properties on the batch path, and creation of both classes by ProgID.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "kestrel/cls_export.h"
#include "base/files.h"
#include "kestrel/cls_import.h"
#include "kestrel/create_object.h"
#include "base/error.h"
#include "kestrel/registry.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel {
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
using kestrel::testing::ReadFile;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

TEST(ClsImportTest, CreationFailsWith505WhenTheLookupFails) {
  auto registry = std::make_shared<FakeRegistry>("");
  ComError err = CaughtFrom([&] { Kestrel20ImpExp::clsImport i(registry); });
  EXPECT_EQ(err.number(), 505);
  EXPECT_EQ(err.description(), kLookupFailed);

  ComError by_progid = CaughtFrom([&] { Kestrel20ImpExp::CreateObject("Kestrel20ImpExp.clsImport", registry); });
  EXPECT_EQ(by_progid.number(), 505);
  EXPECT_EQ(by_progid.description(), kLookupFailed);
}

// The run log's lines after a verification of an empty selection, which logs
// its banner and nothing else.
std::string RunLogAfterVerifying(Kestrel20ImpExp::clsImport& i, const std::string& log_path) {
  std::string out, message;
  i.VerifyUserSelections("\r", out, message);
  return files::FileExists(Env::Default(), log_path) ? ReadFile(log_path) : std::string();
}

const char* const kVerifyBanner = "---------------------------Verify User Selection---------------------------";

TEST(ClsImportTest, CreationPutsTheRunLogBelowTheInstallationFolder) {
  TempFolder t;
  const std::string install = t / "lumo";
  auto registry = std::make_shared<FakeRegistry>(install);
  Kestrel20ImpExp::clsImport i(registry);
  EXPECT_EQ(registry->calls, 1);
  EXPECT_EQ(i.get_ErrorNumber(), 0);
  EXPECT_EQ(i.get_ErrorDescription(), "");
  std::string path;
  ASSERT_TRUE(i.GetLumoInstallationPath(path));
  EXPECT_EQ(path, install);
  // The folder is neither tested nor created.
  EXPECT_FALSE(files::FolderExists(Env::Default(), install));
  // No manifest has been read: the pack is taken to carry no revisions.
  std::vector<std::string> vrc;
  int32_t mprf = 5;
  EXPECT_FALSE(i.GetDevelopmentVRC(mprf, vrc));
  EXPECT_EQ(i.get_ErrorNumber(), 250);

  files::CreateFolders(Env::Default(), install + "/LumoStudio/tmp");
  const std::string log = RunLogAfterVerifying(i, install + "/LumoStudio/tmp/importmr.log");
  EXPECT_NE(log.find(kVerifyBanner), std::string::npos) << log;
}

// The store properties reach the lines of the batch path: the check of a
// pack refuses each value a line cannot carry, naming the property.
TEST(ClsImportTest, StorePropertiesReachTheBatchLineCheck) {
  TempFolder t;
  const std::string install = t / "lumo";
  files::CreateFolders(Env::Default(), install + "/LumoStudio/tmp");
  files::CreateFolders(Env::Default(), install + "/LumoStudio/bin");
  WriteFile(install + "/LumoStudio/bin/LumoConfig.ini", "IIS=1\r\n");
  const std::string pack = t / "pack";
  files::CreateFolders(Env::Default(), pack);
  WriteFile(pack + "/ExportMR.log",
            "SUCCESS\r\n--TESTFILES--\r\n--END TESTFILES--\r\n--APPLS--\r\nA\r\n--ENDAPPLS--\r\n"
            "ExportRevisions=0\r\nExportToNewProfile=0\r\nExportForSyn=0");
  struct Case {
    const char* server;
    const char* name;
    const char* user;
    const char* password;
    const char* refusal;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, nullptr, "the server is empty"},  // none set: all empty
      {"db01", nullptr, nullptr, nullptr, "the store (database name) is empty"},
      {"db 01", "profiles", "loader", "secret", "the server \"db 01\" holds a blank"},
      {"db01", "my profiles", "loader", "secret", "the store \"my profiles\" holds a blank"},
      {"db01", "profiles", "lo\"ader", "secret", "the user holds a double quote"},
      {"db01", "profiles", "loader", "s3cret\"", "the password holds a double quote"},
  };
  for (const Case& c : cases) {
    Kestrel20ImpExp::clsImport i(std::make_shared<FakeRegistry>(install));
    i.put_Path(pack);
    if (c.server) i.put_DatabaseServer(c.server);
    if (c.name) i.put_DatabaseName(c.name);
    if (c.user) i.put_DatabaseUser(c.user);
    if (c.password) i.put_DatabasePassword(c.password);
    std::string details = "3|A|A|0|0|0\r13|A|A|0|0|0", message;
    EXPECT_FALSE(i.CheckLogicPack(details, message)) << c.refusal;
    EXPECT_NE(i.get_ErrorDescription().find(c.refusal), std::string::npos) << i.get_ErrorDescription();
    EXPECT_EQ(i.RefusedAt(), "the bulk-load lines of the application data");
  }
}

TEST(CreateObjectTest, CreatesBothClassesByProgId) {
  auto e = Kestrel20ImpExp::CreateObject("Kestrel20ImpExp.clsExport");
  ASSERT_NE(e.Export, nullptr);
  EXPECT_EQ(e.Import, nullptr);
  EXPECT_EQ(e.Export->get_ErrorNumber(), 0);

  auto i = Kestrel20ImpExp::CreateObject("kestrel20impexp.CLSIMPORT", std::make_shared<FakeRegistry>("/opt/lumo"));
  ASSERT_NE(i.Import, nullptr);
  EXPECT_EQ(i.Export, nullptr);
  std::string path;
  ASSERT_TRUE(i.Import->GetLumoInstallationPath(path));
  EXPECT_EQ(path, "/opt/lumo");

  for (const char* unknown : {"Kestrel20ImpExp.clsExporter", "clsExport", "", "Scripting.FileSystemObject"}) {
    ComError err = CaughtFrom([&] { Kestrel20ImpExp::CreateObject(unknown); });
    EXPECT_EQ(err.number(), 429) << unknown;
    EXPECT_EQ(err.description(), "ActiveX component can't create object");
  }
}

}  // namespace
}  // namespace kestrel
