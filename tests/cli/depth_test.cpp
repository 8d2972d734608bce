// kestrel depth: the depth under a parent, the registry option and the hint
// when no installation folder is recorded, usage and store errors.
#include <gtest/gtest.h>

#include "store/open.h"
#include "store/schema.h"
#include "support/run_kestrel.h"
#include "support/temp_folder.h"

namespace {

using kestrel::testing::RunKestrel;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

class DepthCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto c = kestrel::store::CreateStore(t_ / "profiles.db");
    // 10 a root, 20 below it, 30 below 20.
    c->Execute(
        "insert into qzmap101 values (10,1,'X40','01','STD',10), (20,1,'X41U','01','STD',20), "
        "(20,2,'X40','01','STD',10), (30,1,'X42U','01','STD',30), (30,2,'X41U','01','STD',20), "
        "(30,3,'X40','01','STD',10)");
    WriteFile(t_ / "registry.ini",
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\nPath=" + t_.path() + "\n");
  }
  kestrel::testing::RunResult Depth(const std::string& parent, const std::string& registry) {
    return RunKestrel({"depth", "--store", t_ / "profiles.db", "--parent", parent, "--registry", registry});
  }
  TempFolder t_;
};

TEST_F(DepthCommandTest, PrintsTheDepthUnderTheParent) {
  auto r = Depth("0", t_ / "registry.ini");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  r = Depth("30", t_ / "registry.ini");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "4\n");
  r = Depth("20", t_ / "registry.ini");
  EXPECT_EQ(r.out, "3\n");
}

TEST_F(DepthCommandTest, TheRegistryComesFromTheOptionOrTheEnvironment) {
  auto r = RunKestrel({"depth", "--store", t_ / "profiles.db", "--parent", "10"},
                      {{"KESTREL_REGISTRY", t_ / "registry.ini"}});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "2\n");
}

TEST_F(DepthCommandTest, WithoutAnInstallationFolder505AndAHint) {
  WriteFile(t_ / "empty.ini", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\nVersion=2.0\n");
  for (const std::string& registry : {t_ / "empty.ini", t_ / "no-such.ini"}) {
    auto r = Depth("30", registry);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("error 505: Could not retrieve installation directory of Lumo Studio. Cannot Proceed...\n",
                          0),
              0u)
        << r.err;
    EXPECT_NE(r.err.find("kestrel setup"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(registry), std::string::npos) << r.err;
  }
}

TEST_F(DepthCommandTest, UsageAndStoreErrors) {
  auto r = RunKestrel({"depth", "--store", t_ / "profiles.db", "--registry", t_ / "registry.ini"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("--parent"), std::string::npos) << r.err;

  r = RunKestrel({"depth", "--store", t_ / "profiles.db", "--parent", "x", "--registry", t_ / "registry.ini"});
  EXPECT_EQ(r.exit_code, 2);

  r = Depth("30", t_ / "registry.ini");
  ASSERT_EQ(r.exit_code, 0);
  r = RunKestrel({"depth", "--store", t_ / "missing.db", "--parent", "30", "--registry", t_ / "registry.ini"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err.rfind("error 53: ", 0), 0u) << r.err;
  EXPECT_FALSE(std::filesystem::exists(t_ / "missing.db"));
}

}  // namespace
