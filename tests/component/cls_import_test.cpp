// Kestrel20ImpExp::clsImport's creation through the installation lookup (once,
// the run log below the installation folder), its store properties on the
// batch path, and creation of both classes by ProgID.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "base/files.h"
#include "kestrel/cls_export.h"
#include "kestrel/cls_import.h"
#include "kestrel/create_object.h"
#include "kestrel/registry.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

// A registry that holds the installation folder, or nothing, counting the lookups.
struct FakeRegistry : Registry {
  explicit FakeRegistry(std::string f) : folder(std::move(f)) {}
  bool GetKeyValue(uint32_t, const std::string&, const std::string&, std::string& data) override {
    ++calls;
    if (folder.empty()) return false;
    data = folder;
    return true;
  }
  std::string folder;
  int calls = 0;
};

TEST(ClsImportTest, CreationLooksUpTheInstallationOnceAndKeepsTheRunLogBelowIt) {
  TempFolder t;
  auto registry = std::make_shared<FakeRegistry>(t / "lumo");
  Kestrel20ImpExp::clsImport i(registry);
  EXPECT_EQ(registry->calls, 1);
  EXPECT_EQ(i.get_ErrorNumber(), 0);
  EXPECT_FALSE(files::FolderExists(Env::Default(), t / "lumo")) << "neither tested nor created";
  // A verification of an empty selection logs its banner into the run log below the installation.
  files::CreateFolders(Env::Default(), t / "lumo/LumoStudio/tmp");
  std::string out, message;
  i.VerifyUserSelections("\r", out, message);
  EXPECT_NE(ReadFile(t / "lumo/LumoStudio/tmp/importmr.log").find("-----Verify User Selection-----"), std::string::npos);
}

// The user and password properties reach the lines of the batch path, whose check refuses what a line cannot carry.
TEST(ClsImportTest, StorePropertiesReachTheBatchLineCheck) {
  TempFolder t;
  files::CreateFolders(Env::Default(), t / "lumo/LumoStudio/tmp");
  files::CreateFolders(Env::Default(), t / "lumo/LumoStudio/bin");
  WriteFile(t / "lumo/LumoStudio/bin/LumoConfig.ini", "IIS=1\r\n");
  files::CreateFolders(Env::Default(), t / "pack");
  WriteFile(t / "pack/ExportMR.log", "SUCCESS\r\n--TESTFILES--\r\n--END TESTFILES--\r\n--APPLS--\r\nA\r\n--ENDAPPLS--\r\n"
                                     "ExportRevisions=0\r\nExportToNewProfile=0\r\nExportForSyn=0");
  for (const auto& [user, password, refusal] : {std::tuple{"lo\"ader", "secret", "the user holds a double quote"},
                                                {"loader", "s3cret\"", "the password holds a double quote"}}) {
    Kestrel20ImpExp::clsImport i(std::make_shared<FakeRegistry>(t / "lumo"));
    i.put_Path(t / "pack");
    i.put_DatabaseServer("db01");
    i.put_DatabaseName("profiles");
    i.put_DatabaseUser(user);
    i.put_DatabasePassword(password);
    std::string details = "3|A|A|0|0|0\r13|A|A|0|0|0", message;
    EXPECT_FALSE(i.CheckLogicPack(details, message)) << refusal;
    EXPECT_NE(i.get_ErrorDescription().find(refusal), std::string::npos) << i.get_ErrorDescription();
    EXPECT_EQ(i.RefusedAt(), "the bulk-load lines of the application data");
  }
}

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
