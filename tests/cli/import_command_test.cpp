// kestrel import on packs of the demo store: an import into a store with the
// shared data, --replace required and honoured, --user recorded, and a
// selection that fails verification. What a damaged pack makes the commands
// refuse is import_refusals_test.cpp.
#include <gmock/gmock.h>

#include <filesystem>

#include "base/files.h"
#include "store/open.h"
#include "support/run_kestrel.h"
#include "support/temp_folder.h"

namespace {

using ::testing::HasSubstr;
using kestrel::testing::RunKestrel;
using kestrel::testing::RunResult;
using kestrel::testing::TempFolder;

int64_t Count(const std::string& store, const std::string& select) {
  return kestrel::store::Open(store)->OpenRecordset(select)->Fields(0).Integer();
}

// Rows per table of a store, as `counts` prints them.
std::string Counts(const std::string& store) { return RunKestrel({"counts", "--store", store}).out; }

// An installation, the demo store and its grandchild's chain pack with revisions.
class ImportCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunKestrel({"setup", "--install-dir", t_ / "lumo", "--registry", Registry()}).exit_code, 0);
    ASSERT_EQ(RunKestrel({"demo-store", Demo()}).exit_code, 0);
    kestrel::files::CreateFolders(kestrel::Env::Default(), t_ / "export");
    auto r = RunKestrel({"export", "--store", Demo(), "--profile", "30", "--revisions", "--root", t_ / "export"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    pack_ = r.out.substr(0, r.out.find('\n'));
  }
  std::string Registry() const { return t_ / "registry.ini"; }
  std::string Demo() const { return t_ / "demo.db"; }
  RunResult Run(const std::string& command, const std::string& store, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {command, pack_, "--store", store, "--registry", Registry()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunKestrel(args);
  }

  TempFolder t_;
  std::string pack_;
};

TEST_F(ImportCommandTest, ImportIntoAStoreWithTheSharedData) {
  const std::string second = t_ / "second.db";
  ASSERT_EQ(RunKestrel({"init-store", second, "--shared-from", Demo()}).exit_code, 0);
  auto r = Run("import", second, {"--user", "ops"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  // What was imported, what it replaced, and per table the rows it changed.
  EXPECT_EQ(r.out.substr(0, r.out.find("table ")),
            "imported pack profile 10 as profile 10 (ACC10 to ACCX2)\n"
            "imported pack profile 20 as profile 20 (ACC10 to ACCX2)\n"
            "imported pack profile 30 as profile 30 (ACC10 to ACCX2)\n"
            "profiles replaced: none\n"
            "applications replaced: none\n");
  EXPECT_NE(r.out.find("\nqzmap100        0        3\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nqzmap101        0        6\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nimport committed in "), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Count(second, "select count(*) from qzmap100"), 3);
  // Rules of a pack that is not for synchronisation take the importing user.
  EXPECT_GT(Count(second, "select count(*) from qzmap120"), 0);
  EXPECT_EQ(Count(second, "select count(*) from qzmap120 where lusr<>'ops'"), 0);
}

TEST_F(ImportCommandTest, ReplacingStoredProfilesTakesReplace) {
  const std::string before = Counts(Demo());
  auto r = Run("import", Demo());
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "error 9030: The import would delete and replace what the store holds; run it again with --replace: "
            "the store holds profile 10, profile 20, profile 30, application ACC10, application ACCX2\n");
  EXPECT_EQ(Counts(Demo()), before);

  r = Run("import", Demo(), {"--replace"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Count(Demo(), "select count(*) from qzmap100"), 3);
  // The development-VRC rules the pack does not carry went with their profiles.
  EXPECT_EQ(Count(Demo(), "select count(*) from qzmap120 where vers like 'd%'"), 0);
  EXPECT_EQ(Count(Demo(), "select count(*) from qzmap101 where mprf=30"), 3);
}

TEST_F(ImportCommandTest, DryRunTellsWhatTheImportWouldReplaceAndChangesNothing) {
  struct Row {
    std::vector<std::string> options;
    bool changes;
  };
  const std::vector<Row> rows = {
      {{"--dry-run", "--json"}, false},  // no --replace needed: nothing is kept
      {{"--replace", "--json"}, true},
  };
  for (const Row& row : rows) {
    const std::string before = Counts(Demo());
    auto r = Run("import", Demo(), row.options);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string dry = row.changes ? "false" : "true";
    EXPECT_EQ(r.out.rfind("{\"dry_run\":" + dry + ",\"committed\":" + (row.changes ? "true" : "false"), 0), 0u)
        << r.out;
    // The chain pack's header file lists 30, 20, 10: each replaced what the store held.
    EXPECT_THAT(r.out, HasSubstr("\"profiles_replaced\":[30,20,10],\"applications_replaced\":[\"ACC10\",\"ACCX2\"]"));
    EXPECT_THAT(r.out, HasSubstr("\"qzmap100\":{\"deleted\":3,\"added\":3}"));
    EXPECT_THAT(r.out, HasSubstr("\"qzmap101\":{\"deleted\":6,\"added\":6}"));
    if (!row.changes) {
      EXPECT_EQ(Counts(Demo()), before);
    }
  }
}

TEST_F(ImportCommandTest, SelectionThatFailsVerificationStopsTheImport) {
  const std::string second = t_ / "second.db";
  ASSERT_EQ(RunKestrel({"init-store", second, "--shared-from", Demo()}).exit_code, 0);
  auto r = Run("import", second,
               {"--target", "10|ACC10|ACCX2|0|0|1", "--target", "20|ACC10|ACCX2|10|0|1", "--target",
                "30|ACC10|ACCX2|40|0|1"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "error 502: Profile Number (30) should be greater than the derived from profile (40) .\n");
  EXPECT_EQ(Count(second, "select count(*) from qzmap100"), 0);
}

}  // namespace
