// kestrel load-functions: shared functions added from a pack, stored ones
// kept, the loader's failure as "error 899", usage and store errors.
#include <gtest/gtest.h>

#include <filesystem>

#include "store/connection.h"
#include "store/open.h"
#include "store/schema.h"
#include "support/run_kestrel.h"
#include "support/temp_folder.h"

namespace {

using kestrel::testing::RunKestrel;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

class LoadFunctionsCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto c = kestrel::store::CreateStore(t_ / "profiles.db");
    c->Execute("insert into qzmap150 (func, defn, help) values ('TRIM', 'stored', 'stored help')");
    WriteFile(t_ / "registry.ini",
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\nPath=" + t_.path() + "\n");
    std::filesystem::create_directories(t_ / "pack");
  }
  kestrel::testing::RunResult Load(const std::string& store) {
    return RunKestrel({"load-functions", t_ / "pack", "--store", store, "--registry", t_ / "registry.ini"});
  }
  std::string Functions() {
    auto c = kestrel::store::Open(t_ / "profiles.db");
    return c->OpenRecordset("select func, defn, help from qzmap150 order by func")->GetString(-1, "|", ";");
  }
  TempFolder t_;
};

TEST_F(LoadFunctionsCommandTest, AddsTheFunctionsTheStoreDoesNotHold) {
  WriteFile(t_ / "pack/Qzmap150.dat",
            ":FUNC:START\r\nTRIM\r\n:FUNC:END\r\n:DEFN:START\r\nnew\r\n:DEFN:END\r\n:HELP:START\r\n\r\n:HELP:END\r\n"
            ":FUNC:START\r\nLEFT(S,N)\r\n:FUNC:END\r\n:DEFN:START\r\nfirst N\r\nof S\r\n:DEFN:END\r\n"
            ":HELP:START\r\nit's easy\r\n:HELP:END\r\n");
  auto r = Load(t_ / "profiles.db");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Functions(), "LEFT(S,N)|first N\r\nof S|it's easy;TRIM|stored|stored help;");
}

TEST_F(LoadFunctionsCommandTest, AFailedLoadIsError899) {
  auto r = Load(t_ / "profiles.db");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "error 899: Unspecified Error : --LoadToMAP150-- 53   File not found\n");
  EXPECT_EQ(Functions(), "TRIM|stored|stored help;");
}

TEST_F(LoadFunctionsCommandTest, UsageAndStoreErrors) {
  auto r = RunKestrel({"load-functions", t_ / "pack", "--registry", t_ / "registry.ini"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("--store"), std::string::npos) << r.err;
  r = RunKestrel({"load-functions", "--store", t_ / "profiles.db", "--registry", t_ / "registry.ini"});
  EXPECT_EQ(r.exit_code, 2);

  r = Load(t_ / "missing.db");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "error 53: File not found: " + (t_ / "missing.db") + "\n");
  EXPECT_FALSE(std::filesystem::exists(t_ / "missing.db"));
}

}  // namespace
