// The registry file: reading values and recording them.
#include <gtest/gtest.h>

#include "base/error.h"
#include "kestrel/registry.h"
#include "support/temp_folder.h"

namespace kestrel {
namespace {

using kestrel::testing::ReadFile;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

const std::string kKey = "SOFTWARE\\Corvane\\Tresk\\Tresk2.0";

std::optional<std::string> Get(const std::string& file, const std::string& name, const std::string& key = kKey,
                               uint32_t hive = HKEY_LOCAL_MACHINE_VALUE) {
  std::string data = "untouched";
  if (!RegistryFile(Env::Default(), file).GetKeyValue(hive, key, name, data)) {
    EXPECT_EQ(data, "untouched");  // a miss never changes the output argument
    return std::nullopt;
  }
  return data;
}

TEST(RegistryFileTest, ReadsValuesWithoutRegardToCase) {
  TempFolder t;
  WriteFile(t / "r.ini",
            "; machine settings\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\nPath=/wrong\n\n"
            "[hkey_local_machine\\software\\corvane\\tresk\\TRESK2.0]\r\n  path =  /opt/lumo studio  \r\n"
            "Quoted=\"  padded \"\n# Quoted=/commented\nLast=/opt/first\nLast=/opt/m\xE9nage\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\nPath=/home/user/lumo\n");
  const struct {
    std::string name, key;
    uint32_t hive;
    std::optional<std::string> value;
  } rows[] = {
      {"PATH", kKey, HKEY_LOCAL_MACHINE_VALUE, "/opt/lumo studio"},
      {"Quoted", kKey, HKEY_LOCAL_MACHINE_VALUE, "  padded "},
      {"Last", kKey, HKEY_LOCAL_MACHINE_VALUE, "/opt/m\xE9nage"},  // the last entry wins
      {"Path", kKey, HKEY_CURRENT_USER_VALUE, "/home/user/lumo"},
      {"Path", kKey, 0x12345678u, std::nullopt},
      {"Path", "SOFTWARE\\Missing", HKEY_LOCAL_MACHINE_VALUE, std::nullopt},
      {"Version", kKey, HKEY_LOCAL_MACHINE_VALUE, std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(Get(t / "r.ini", row.name, row.key, row.hive), row.value) << row.name;
  EXPECT_EQ(Get(t / "absent.ini", "Path"), std::nullopt);
}

TEST(RegistryFileTest, SetKeepsEveryOtherLine) {
  TempFolder t;
  const std::string file = t / "conf/r.ini";
  const std::string section = "[HKEY_LOCAL_MACHINE\\software\\corvane\\tresk\\tresk2.0]\r\n";
  const std::string user = "[HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\r\n";  // still empty
  WriteFile(file, "; kept\r\n" + section + "Version=2.0\r\nPATH=/old\r\nOther=1\r\n" + user +
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Else]\r\nPath=/else\r\n");
  RegistryFile(Env::Default(), file).SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, kKey, "Path", " /new ");
  RegistryFile(Env::Default(), file).SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, kKey, "Build", "17");
  RegistryFile(Env::Default(), file).SetKeyValue(HKEY_CURRENT_USER_VALUE, kKey, "Path", "/mine");
  RegistryFile(Env::Default(), file).SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, "SOFTWARE\\New", "Path", "/n");
  EXPECT_EQ(ReadFile(file), "; kept\r\n" + section + "Version=2.0\r\nPath=\" /new \"\r\nOther=1\r\nBuild=17\r\n" +
                                user + "Path=/mine\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Else]\r\nPath=/else\r\n"
                                "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\r\nPath=/n\r\n");
  EXPECT_EQ(Get(file, "Path"), " /new ");
  EXPECT_THROW(RegistryFile(Env::Default(), file).SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, kKey, "Path", "/a\nPath=/b"),
               ComError);
  EXPECT_EQ(Get(file, "Path"), " /new ");
  // A new file and its folder; LF line ends.
  RegistryFile(Env::Default(), t / "new/registry.ini").SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, kKey, "Path", "/opt/lumo");
  EXPECT_EQ(ReadFile(t / "new/registry.ini"), "[HKEY_LOCAL_MACHINE\\" + kKey + "]\nPath=/opt/lumo\n");
}

// A file kept on two systems: a section line that ends in a stray CR is a
// section when read and stays one when the file is written back, so a value
// recorded after it lands in the section it was meant for.
TEST(RegistryFileTest, AStrayCarriageReturnEndsNoSectionLater) {
  TempFolder t;
  const std::string file = t / "r.ini";
  WriteFile(file, "[HKEY_LOCAL_MACHINE\\" + kKey + "]\nPath=/old\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\r\n"
                  "Other=1\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Last]\r");
  EXPECT_EQ(Get(file, "Other"), std::nullopt);
  RegistryFile(Env::Default(), file).SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, kKey, "Build", "17");
  RegistryFile(Env::Default(), file).SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, "SOFTWARE\\Last", "Path", "/last");
  const struct {
    std::string name, key;
    std::optional<std::string> value;
  } rows[] = {
      {"Build", kKey, "17"},
      {"Path", kKey, "/old"},
      {"Other", kKey, std::nullopt},
      {"Other", "SOFTWARE\\Other", "1"},
      {"Path", "SOFTWARE\\Last", "/last"},
  };
  for (const auto& row : rows) EXPECT_EQ(Get(file, row.name, row.key), row.value) << row.name << " in " << row.key;
  EXPECT_EQ(ReadFile(file), "[HKEY_LOCAL_MACHINE\\" + kKey + "]\nPath=/old\nBuild=17\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\nOther=1\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Last]\nPath=/last\n");
}

}  // namespace
}  // namespace kestrel
