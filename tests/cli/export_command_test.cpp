// kestrel export: options into properties, the pack folder on success,
// "error N: ..." on failure, numbers outside 16 bits refused before anything
// is written, and no progress when stderr is not a terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "exporter/pack_readers.h"
#include "support/store_builder.h"
#include "support/run_kestrel.h"

namespace kestrel::testing {
namespace {

using kestrel::testing::ReadFile;
using kestrel::testing::RunKestrel;

class ExportCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(store.root());
    store.AddApplication("BAS", 0);
    store.AddApplication("EXT", 1);
    store.AddObject("EXT", 1, {"AR", "CUST", "010"});
    store.AddProfile(root);
    store.AddProfile(child, {&root});
    store.AddRule120(5, root.vrc, {"AR", "CUST", "010"}, "root rule");
  }
  bool RootIsEmpty() const { return std::filesystem::is_empty(store.root()); }

  TestProfile root{5, "BAS", "EXT", {"X40", "c", "ab1"}, std::nullopt, "Y"};
  TestProfile child{7, "BAS", "EXT", {"X41U", "c", "ab1"}, TestVrc{"X40", "c", "ab1"}, "Y"};
  // The store file and an export root in a folder of their own.
  struct Store : StoreBuilder {
    explicit Store(const TempFolder& t) : StoreBuilder(StoreBuilder::Empty(t / "store.db")), tmp(t) {}
    const TempFolder& tmp;
    std::string path() const { return tmp / "store.db"; }
    std::string root() const { return tmp / "root"; }
    std::string Folder(const std::string& name) const { return tmp / name; }
  };
  TempFolder tmp;
  Store store{tmp};
};

TEST_F(ExportCommand, SingleExportPrintsThePackFolderAndNothingElse) {
  auto r = RunKestrel({"export", "--store", store.path(), "--profile", "7", "--root", store.root(), "--single",
                       "--new-number", "70", "--traverse-parent", "--revisions"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string pack = store.root() + "/ExportedRules/7-BAS-EXT-S";
  EXPECT_EQ(r.out, pack + "\n");
  EXPECT_EQ(r.err, "");
  auto lines = LinesOf(pack + "/ExportMR.log");
  EXPECT_EQ(lines.front(), "SUCCESS");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ExportToNewProfile=70"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ExportRevisions=1"), lines.end());
  // --traverse-parent brought the root's rule in as the child's.
  auto rules = RecordsOf(pack, pack::kQzmap120);
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_EQ(rules[0].at("mprf"), "7");
}

TEST_F(ExportCommand, WithoutSingleTheChainTravelsUnderItsOwnNumbers) {
  auto r = RunKestrel({"export", "--store", store.path(), "--profile", "7", "--root", store.root(), "--new-number",
                       "70"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string pack = store.root() + "/ExportedRules/7-BAS-EXT-M";
  EXPECT_EQ(r.out, pack + "\n");
  EXPECT_EQ(LinesOf(pack + "/Qzmap100.dat").size(), 2u);
  auto lines = LinesOf(pack + "/ExportMR.log");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ExportToNewProfile=0"), lines.end());
  auto rules = RecordsOf(pack, pack::kQzmap120);
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_EQ(rules[0].at("mprf"), "5");

  r = RunKestrel({"export", "--store", store.path(), "--profile", "7", "--root", store.root(), "--based-on", "5",
                  "--overwrite"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(LinesOf(pack + "/Qzmap100.dat").size(), 1u);
}

TEST_F(ExportCommand, OptionsReachTheirProperties) {
  auto r = RunKestrel({"export", "--store", store.path(), "--profile", "7", "--root", store.root(), "--single",
                       "--sync"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string pack = store.root() + "/ExportedRules/7-BAS-EXT-S";
  auto lines = LinesOf(pack + "/ExportMR.log");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ExportForSyn=1"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ExportRevisions=0"), lines.end());
  EXPECT_TRUE(RecordsOf(pack, pack::kQzmap120).empty()) << "without --traverse-parent";

  r = RunKestrel({"export", "--store", store.path(), "--profile", "7", "--root", store.root(), "--single"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err.rfind("error 3: Error : Migration Profile Already Exported", 0), 0u) << r.err;
  r = RunKestrel({"export", "--store", store.path(), "--profile", "7", "--root", store.root(), "--single",
                  "--overwrite"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
}

TEST_F(ExportCommand, NumbersOutsideSixteenBitsAreRefusedBeforeAnythingIsWritten) {
  for (auto args : {std::vector<std::string>{"--profile", "32768"},
                    std::vector<std::string>{"--profile", "-32769"},
                    std::vector<std::string>{"--profile", "7", "--single", "--new-number", "40000"}}) {
    std::vector<std::string> all{"export", "--store", store.path(), "--root", store.root()};
    all.insert(all.end(), args.begin(), args.end());
    auto r = RunKestrel(all);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err.rfind("error 6: Overflow", 0), 0u) << r.err;
    EXPECT_TRUE(RootIsEmpty());
  }
}

TEST_F(ExportCommand, FailuresAndUsageErrors) {
  auto r = RunKestrel({"export", "--store", store.path(), "--profile", "77", "--root", store.root(), "--single"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "error 2: Error : Migration Profile Not found PROFILE NUMBER = 77\n");
  EXPECT_EQ(r.out, "");

  r = RunKestrel({"export", "--store", store.Folder("none.db"), "--profile", "7", "--root", store.root()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_FALSE(std::filesystem::exists(store.Folder("none.db")));

  r = RunKestrel({"export", "--store", store.path(), "--profile", "seven"});
  EXPECT_EQ(r.exit_code, 2);
  r = RunKestrel({"export", "--profile", "7"});
  EXPECT_EQ(r.exit_code, 2);
}

TEST_F(ExportCommand, WithoutRootTheEnvironmentNamesIt) {
  auto r = RunKestrel({"export", "--store", store.path(), "--profile", "7", "--single"},
                      {{"KESTREL_EXPORT_ROOT", store.Folder("env-root")}});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, store.Folder("env-root") + "/ExportedRules/7-BAS-EXT-S\n");
}

}  // namespace
}  // namespace kestrel::testing
