// The installation lookup: the folder from the registry file, Kestrel20ImpExp::clsImport's
// creation on it, and the "IIS=" setting of LumoConfig.ini.
#include <gtest/gtest.h>

#include <cerrno>

#include "kestrel/cls_import.h"
#include "base/error.h"
#include "kestrel/registry.h"
#include "importer/entry_points.h"
#include "importer/install.h"
#include "store/connection.h"
#include "support/temp_folder.h"
#include "import_parts.h"

namespace kestrel::importer {
namespace {

using testing::ImportParts;

using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

const char* kNotFound = "Could not retrieve installation directory of Lumo Studio. Cannot Proceed...";

std::shared_ptr<Registry> RegistryWith(const TempFolder& t, const std::string& content) {
  WriteFile(t / "registry.ini", content);
  return std::make_shared<RegistryFile>(Env::Default(), t / "registry.ini");
}

TEST(InstallationLookupTest, ReadsTheFolderAndCreationKeepsIt) {
  TempFolder t;
  auto registry = RegistryWith(t, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\nPath=/srv/lumo\n");
  ImportParts s;
  s.cx.RegistryComponent = registry;
  std::string path = "before";
  EXPECT_TRUE(GetLumoInstallationPath(s.cx, s.r.Error, path));
  EXPECT_EQ(path, "/srv/lumo");
  EXPECT_EQ(s.r.Error.ErrorNumber, 0);

  Kestrel20ImpExp::clsImport object(registry);
  std::string again;
  EXPECT_TRUE(object.GetLumoInstallationPath(again));
  EXPECT_EQ(again, "/srv/lumo");
}

TEST(InstallationLookupTest, MissingValueGives505AndLeavesTheArgument) {
  TempFolder t;
  for (auto registry :
       {RegistryWith(t, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\nVersion=2.0\n"),
        std::static_pointer_cast<Registry>(std::make_shared<RegistryFile>(Env::Default(), t / "no-such-file.ini"))}) {
    ImportParts s;
    s.cx.RegistryComponent = registry;
    std::string path = "before";
    EXPECT_FALSE(GetLumoInstallationPath(s.cx, s.r.Error, path));
    EXPECT_EQ(path, "before");
    EXPECT_EQ(s.r.Error.ErrorNumber, 505);
    EXPECT_EQ(s.r.Error.ErrorDescription, kNotFound);

    try {
      Kestrel20ImpExp::clsImport object(registry);
      ADD_FAILURE() << "created without an installation folder";
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), 505);
      EXPECT_EQ(e.description(), kNotFound);
    }
  }
}

TEST(InstallationLookupTest, AFailingRegistryGivesItsOwnNumberAndText) {
  TempFolder t;
  ImportParts s;
  // A folder in place of the registry file cannot be read.
  s.cx.RegistryComponent = std::make_shared<RegistryFile>(Env::Default(), t.path());
  std::string path = "before";
  EXPECT_FALSE(GetLumoInstallationPath(s.cx, s.r.Error, path));
  EXPECT_EQ(s.r.Error.ErrorNumber, EISDIR);
  EXPECT_EQ(s.r.Error.ErrorDescription, std::string("Is a directory. ") + kNotFound);

  s.cx.RegistryComponent = nullptr;
  EXPECT_FALSE(GetLumoInstallationPath(s.cx, s.r.Error, path));
  EXPECT_EQ(s.r.Error.ErrorNumber, 429);
  EXPECT_EQ(s.r.Error.ErrorDescription, std::string("ActiveX component can't create object. ") + kNotFound);
  EXPECT_EQ(path, "before");
}

TEST(InstallationLookupTest, CreationOnAnEnvReadsTheRegistryFileItsVariableNames) {
  TempFolder t;
  WriteFile(t / "env.ini", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\nPath=/from/env\n");
  kestrel::testing::FaultEnv env;
  env.SetVariable("KESTREL_REGISTRY", t / "env.ini");
  Kestrel20ImpExp::clsImport object(env);
  std::string path;
  EXPECT_TRUE(object.GetLumoInstallationPath(path));
  EXPECT_EQ(path, "/from/env");
}

class IISSettingTest : public ::testing::Test {
 protected:
  std::string Read(const std::optional<std::string>& config) {
    ImportParts s;
    s.cx.InstallationPath = t_.path();
    if (config) WriteFile(t_ / "LumoStudio/bin/LumoConfig.ini", *config);
    return ReadIISSetting(s.cx);
  }
  TempFolder t_;
};

TEST_F(IISSettingTest, DefaultsTo6) {
  EXPECT_EQ(Read(std::nullopt), "6");
  EXPECT_EQ(Read(""), "6");
  EXPECT_EQ(Read("IIS=\r\n"), "6");
  EXPECT_EQ(Read("IIS=    \r\n"), "6");
  EXPECT_EQ(Read("Server=db1\r\nIS=5\r\n"), "6");
}

TEST_F(IISSettingTest, TakesTheTextAfterTheFourthCharacter) {
  EXPECT_EQ(Read("IIS=5\r\n"), "5");
  EXPECT_EQ(Read("[Web]\niis= 7 \n"), "7");
  EXPECT_EQ(Read("XIIS=5\r\n"), "=5");
  EXPECT_EQ(Read("IIS=10.0"), "10.0");  // no final line end
}

TEST_F(IISSettingTest, ALaterLineWinsUnlessItIsEmpty) {
  EXPECT_EQ(Read("IIS=5\r\nIIS=7\r\n"), "7");
  EXPECT_EQ(Read("IIS=5\nIIS=\n"), "5");
  EXPECT_EQ(Read("IIS=5\r\nName=x\r\nIIS=6.5\r\nTail=y\r\n"), "6.5");
}

}  // namespace
}  // namespace kestrel::importer
