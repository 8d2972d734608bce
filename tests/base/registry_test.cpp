// The registry file: reading values, recording them, and which file is used.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "base/error.h"
#include "kestrel/registry.h"
#include "support/fault_env.h"
#include "support/temp_folder.h"

namespace kestrel {
namespace {

using kestrel::testing::ReadFile;
using kestrel::testing::FaultEnv;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

const std::string kKey = "SOFTWARE\\Corvane\\Tresk\\Tresk2.0";

std::optional<std::string> Get(const std::string& file, const std::string& key, const std::string& name,
                               uint32_t hive = HKEY_LOCAL_MACHINE_VALUE) {
  std::string data = "untouched";
  if (!RegistryFile(Env::Default(), file).GetKeyValue(hive, key, name, data)) {
    EXPECT_EQ(data, "untouched");  // a miss never changes the output argument
    return std::nullopt;
  }
  return data;
}

TEST(RegistryFileTest, FindsValuesWithoutRegardToCase) {
  TempFolder t;
  WriteFile(t / "r.ini",
            "; machine settings\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"
            "Path=/wrong\n"
            "\n"
            "[hkey_local_machine\\software\\corvane\\tresk\\TRESK2.0]\n"
            "  path =  /opt/lumo studio  \n"
            "Quoted=\"  padded \"\n"
            "# Path=/commented\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\n"
            "Path=/home/user/lumo\n");
  EXPECT_EQ(Get(t / "r.ini", kKey, "Path"), "/opt/lumo studio");
  EXPECT_EQ(Get(t / "r.ini", kKey, "PATH"), "/opt/lumo studio");
  EXPECT_EQ(Get(t / "r.ini", kKey, "Quoted"), "  padded ");
  EXPECT_EQ(Get(t / "r.ini", kKey, "Path", HKEY_CURRENT_USER_VALUE), "/home/user/lumo");
  EXPECT_EQ(Get(t / "r.ini", kKey, "Path", 0x12345678u), std::nullopt);
  EXPECT_EQ(Get(t / "r.ini", "SOFTWARE\\Missing", "Path"), std::nullopt);
  EXPECT_EQ(Get(t / "r.ini", kKey, "Version"), std::nullopt);
}

TEST(RegistryFileTest, CrLfLinesNonAsciiBytesAndTheLastEntryWins) {
  TempFolder t;
  WriteFile(t / "r.ini",
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\r\n"
            "Path=/opt/first\r\n"
            "Path=/opt/m\xE9nage\r\n");
  EXPECT_EQ(Get(t / "r.ini", kKey, "Path"), "/opt/m\xE9nage");
}

TEST(RegistryFileTest, MissingFileHoldsNothingAndUnreadableFileRaises) {
  TempFolder t;
  EXPECT_EQ(Get(t / "absent.ini", kKey, "Path"), std::nullopt);
  std::string data;
  // A folder where the file should be cannot be read: that is a failure, not a miss.
  EXPECT_THROW(RegistryFile(Env::Default(), t.path()).GetKeyValue(HKEY_LOCAL_MACHINE_VALUE, kKey, "Path", data), ComError);
}

TEST(RegistryFileTest, SetCreatesFileAndFolder) {
  TempFolder t;
  std::string file = t / "conf/kestrel/registry.ini";
  RegistryFile(Env::Default(), file).SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, kKey, "Path", "/opt/lumo");
  EXPECT_EQ(ReadFile(file), "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\nPath=/opt/lumo\n");
  EXPECT_EQ(Get(file, kKey, "Path"), "/opt/lumo");
}

TEST(RegistryFileTest, SetKeepsEveryOtherLine) {
  TempFolder t;
  std::string file = t / "r.ini";
  WriteFile(file,
            "; kept\r\n"
            "[HKEY_LOCAL_MACHINE\\software\\corvane\\tresk\\tresk2.0]\r\n"
            "Version=2.0\r\n"
            "PATH=/old\r\n"
            "Other=1\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Else]\r\n"
            "Path=/else\r\n");
  RegistryFile(Env::Default(), file).SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, kKey, "Path", " /new ");
  EXPECT_EQ(ReadFile(file),
            "; kept\r\n"
            "[HKEY_LOCAL_MACHINE\\software\\corvane\\tresk\\tresk2.0]\r\n"
            "Version=2.0\r\n"
            "Path=\" /new \"\r\n"
            "Other=1\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Else]\r\n"
            "Path=/else\r\n");
  EXPECT_EQ(Get(file, kKey, "Path"), " /new ");
  EXPECT_EQ(Get(file, "SOFTWARE\\Else", "Path"), "/else");

  // A value not yet in the section goes after its last entry; a new section to the end.
  RegistryFile(Env::Default(), file).SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, kKey, "Build", "17");
  RegistryFile(Env::Default(), file).SetKeyValue(HKEY_CURRENT_USER_VALUE, kKey, "Path", "/mine");
  EXPECT_EQ(ReadFile(file),
            "; kept\r\n"
            "[HKEY_LOCAL_MACHINE\\software\\corvane\\tresk\\tresk2.0]\r\n"
            "Version=2.0\r\n"
            "Path=\" /new \"\r\n"
            "Other=1\r\n"
            "Build=17\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Else]\r\n"
            "Path=/else\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\r\n"
            "Path=/mine\r\n");
}

TEST(RegistryFileTest, SetRefusesALineEndAndLeavesTheFile) {
  TempFolder t;
  std::string file = t / "r.ini";
  WriteFile(file, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\nPath=/old\n");
  EXPECT_THROW(RegistryFile(Env::Default(), file).SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, kKey, "Path", "/a\nPath=/b"), ComError);
  EXPECT_EQ(Get(file, kKey, "Path"), "/old");
}

TEST(RegistryFilePathTest, EnvironmentThenUserFileThenSystemFile) {
  TempFolder t;
  FaultEnv env;
  env.SetVariable("HOME", t / "home");
  {
    FaultEnv chosen;
    chosen.SetVariable("KESTREL_REGISTRY", t / "chosen.ini");
    EXPECT_EQ(RegistryFilePath(chosen), t / "chosen.ini");
  }
  // Only paths are worked out here; no file outside the test folder is read.
  env.SetVariable("KESTREL_REGISTRY", "");
  env.SetVariable("XDG_CONFIG_HOME", t.path());
  EXPECT_EQ(UserRegistryFilePath(env), t / "kestrel/registry.ini");
  EXPECT_EQ(RegistryFilePath(env), "/etc/kestrel/registry.ini");
  WriteFile(t / "kestrel/registry.ini", "");
  EXPECT_EQ(RegistryFilePath(env), t / "kestrel/registry.ini");
  // A configuration folder that is no absolute path is passed over for the home folder's.
  for (const std::string& xdg : {std::string("relative/config"), std::string()}) {
    env.SetVariable("XDG_CONFIG_HOME", xdg);
    EXPECT_EQ(UserRegistryFilePath(env), t / "home/.config/kestrel/registry.ini") << '"' << xdg << '"';
  }
  // Without HOME, the account's home folder; without either, no user file.
  FaultEnv account;
  account.SetAccount("lumo", t / "account");
  EXPECT_EQ(UserRegistryFilePath(account), t / "account/.config/kestrel/registry.ini");
  FaultEnv nobody;
  EXPECT_EQ(UserRegistryFilePath(nobody), "");
  EXPECT_EQ(RegistryFilePath(nobody), "/etc/kestrel/registry.ini");
}

// The registry the component creates is the file the Env's variables name,
// read through that Env.
TEST(RegistryFilePathTest, CreatedRegistryReadsTheFileTheEnvNames) {
  TempFolder t;
  WriteFile(t / "site.ini", "[HKEY_LOCAL_MACHINE\\" + kKey + "]\nPath=/srv/lumo\n");
  FaultEnv env;
  env.SetVariable("KESTREL_REGISTRY", t / "site.ini");
  std::string data;
  ASSERT_TRUE(CreateRegistry(env)->GetKeyValue(HKEY_LOCAL_MACHINE_VALUE, kKey, "Path", data));
  EXPECT_EQ(data, "/srv/lumo");
  env.SetVariable("KESTREL_REGISTRY", t / "other.ini");
  EXPECT_FALSE(CreateRegistry(env)->GetKeyValue(HKEY_LOCAL_MACHINE_VALUE, kKey, "Path", data));
}

}  // namespace
}  // namespace kestrel
