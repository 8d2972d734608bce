// kestrel setup: the installation folder it creates and the registry file it writes.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_kestrel.h"
#include "support/temp_folder.h"

namespace {

using kestrel::testing::ReadFile;
using kestrel::testing::RunKestrel;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

std::string Canonical(const std::string& path) { return std::filesystem::canonical(path).string(); }

std::string Entry(const std::string& folder) {
  return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\nPath=" + folder + "\n";
}

TEST(SetupCommandTest, CreatesTheFoldersAndRecordsTheAbsoluteFolder) {
  TempFolder t;
  auto r = RunKestrel({"setup", "--install-dir", t / "tools/../lumo/", "--registry", t / "reg/registry.ini"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(std::filesystem::is_directory(t / "lumo/LumoStudio/tmp"));
  EXPECT_TRUE(std::filesystem::is_directory(t / "lumo/LumoStudio/bin"));
  EXPECT_FALSE(std::filesystem::exists(t / "tools"));
  const std::string folder = Canonical(t / "lumo");
  EXPECT_EQ(ReadFile(t / "reg/registry.ini"), Entry(folder));
  EXPECT_NE(r.out.find(t / "reg/registry.ini"), std::string::npos) << r.out;
}

TEST(SetupCommandTest, RunTwiceReplacesTheValueAndKeepsTheRest) {
  TempFolder t;
  WriteFile(t / "registry.ini", "; site settings\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Else]\nPath=/else\n");
  ASSERT_EQ(RunKestrel({"setup", "--install-dir", t / "one", "--registry", t / "registry.ini"}).exit_code, 0);
  ASSERT_EQ(RunKestrel({"setup", "--install-dir", t / "two", "--registry", t / "registry.ini"}).exit_code, 0);
  EXPECT_EQ(ReadFile(t / "registry.ini"), "; site settings\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Else]\nPath=/else\n\n" +
                                              Entry(Canonical(t / "two")));
}

TEST(SetupCommandTest, WritesTheEnvironmentsFileElseTheUsersFile) {
  TempFolder t;
  auto r = RunKestrel({"setup", "--install-dir", t / "a"}, {{"KESTREL_REGISTRY", t / "env.ini"}});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ReadFile(t / "env.ini"), Entry(Canonical(t / "a")));

  r = RunKestrel({"setup", "--install-dir", t / "b"},
                 {{"KESTREL_REGISTRY", ""}, {"XDG_CONFIG_HOME", t / "config"}});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ReadFile(t / "config/kestrel/registry.ini"), Entry(Canonical(t / "b")));
}

TEST(SetupCommandTest, UsageErrorsAndFailures) {
  TempFolder t;
  auto r = RunKestrel({"setup", "--registry", t / "r.ini"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("--install-dir"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(t / "r.ini"));

  // A file where the installation folder should go.
  WriteFile(t / "taken", "x");
  r = RunKestrel({"setup", "--install-dir", t / "taken", "--registry", t / "r.ini"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err.rfind("error ", 0), 0u) << r.err;
  EXPECT_FALSE(std::filesystem::exists(t / "r.ini"));
}

}  // namespace
