// The installation the import works in: its folder from the registry file,
// the "IIS=" setting of LumoConfig.ini that picks the bulk-load path, and the
// run log below it, which never stops an import.
#include <gtest/gtest.h>

#include <cerrno>

#include "import_fixture.h"
#include "importer/entry_points.h"
#include "importer/install.h"
#include "importer/run_log.h"

namespace kestrel::testing {
namespace {

using namespace kestrel::importer;

const std::string kNotFound = "Could not retrieve installation directory of Lumo Studio. Cannot Proceed...";
const std::string kKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\n";

TEST(InstallationLookupTest, TheFolderComesFromTheRegistryFileElseANumberedFailure) {
  TempFolder t;
  WriteFile(t / "good.ini", kKey + "Path=/srv/lumo\n");
  WriteFile(t / "no-path.ini", kKey + "Version=2.0\n");
  const std::vector<std::tuple<std::shared_ptr<Registry>, int, std::string>> rows = {
      {std::make_shared<RegistryFile>(Env::Default(), t / "good.ini"), 0, "/srv/lumo"},
      {std::make_shared<RegistryFile>(Env::Default(), t / "no-path.ini"), 505, kNotFound},
      {std::make_shared<RegistryFile>(Env::Default(), t / "none.ini"), 505, kNotFound},
      {std::make_shared<RegistryFile>(Env::Default(), t.path()), EISDIR, "Is a directory. " + kNotFound},
      {nullptr, 429, "ActiveX component can't create object. " + kNotFound},
  };
  for (const auto& [registry, number, says] : rows) {
    SCOPED_TRACE(says);
    ImportParts s;
    s.cx.RegistryComponent = registry;
    std::string path = "before";
    EXPECT_EQ(GetLumoInstallationPath(s.cx, s.r.Error, path), number == 0);
    EXPECT_EQ(s.r.Error.ErrorNumber, number);
    EXPECT_EQ(number ? s.r.Error.ErrorDescription : path, says);
    if (number) {
      EXPECT_EQ(path, "before");
    }
  }
  // Created on an Env, the import reads the registry file its variable names.
  FaultEnv env;
  env.SetVariable("KESTREL_REGISTRY", t / "good.ini");
  Kestrel20ImpExp::clsImport object(env);
  std::string path;
  EXPECT_TRUE(object.GetLumoInstallationPath(path));
  EXPECT_EQ(path, "/srv/lumo");
}

TEST(IISSettingTest, TheTextAfterTheFourthCharacterOfTheLastNonEmptyLineElse6) {
  const std::vector<std::pair<std::optional<std::string>, std::string>> rows = {
      {std::nullopt, "6"}, {"", "6"}, {"IIS=\r\n", "6"}, {"IIS=    \r\n", "6"}, {"Server=db1\r\nIS=5\r\n", "6"},
      {"IIS=5\r\n", "5"}, {"[Web]\niis= 7 \n", "7"}, {"XIIS=5\r\n", "=5"}, {"IIS=10.0", "10.0"},
      {"IIS=5\r\nIIS=7\r\n", "7"}, {"IIS=5\nIIS=\n", "5"}, {"IIS=5\r\nName=x\r\nIIS=6.5\r\nTail=y\r\n", "6.5"},
  };
  for (const auto& [config, setting] : rows) {
    TempFolder t;
    ImportParts s;
    s.cx.InstallationPath = t.path();
    if (config) WriteFile(t / "LumoStudio/bin/LumoConfig.ini", *config);
    EXPECT_EQ(ReadIISSetting(s.cx), setting) << config.value_or("(no file)");
  }
}

TEST(RunLogTest, LinesKeepTheirBytesAndAnUnwritableLogLosesThemSilently) {
  TempFolder t;
  ImportParts s;
  s.env.FixTime(DateTime{2024, 3, 5, 14, 7, 9});
  s.cx.ImportLogPath = t / "importmr.log";
  std::vector<std::string> one{"a"}, none;
  ReverseStringArray(s.cx, one);
  ReverseStringArray(s.cx, none);
  EXPECT_EQ(one, std::vector<std::string>{"a"});
  EXPECT_FALSE(std::filesystem::exists(s.cx.ImportLogPath)) << "fewer than two elements log nothing";
  WriteImportLog(s.cx, "");
  WriteImportLog(s.cx, "Profiles 12, 15 already exists<BR>M\xE9nage");
  EXPECT_EQ(ReadFile(s.cx.ImportLogPath),
            "2024-03-05 14:07:09 \r\n2024-03-05 14:07:09 Profiles 12, 15 already exists<BR>M\xE9nage\r\n");
  for (const auto& path : {t / "missing-folder/importmr.log", t.path()}) {
    s.cx.ImportLogPath = path;
    EXPECT_NO_THROW(WriteImportLog(s.cx, "lost"));
  }
  EXPECT_FALSE(std::filesystem::exists(t / "missing-folder"));
  EXPECT_TRUE(std::filesystem::is_directory(t.path()));
}

}  // namespace
}  // namespace kestrel::testing
