// The manifest of an export whose progress text outgrows memory: spooled in
// the pack folder and put together at the end, it is byte for byte the
// manifest written from memory, for success and failure alike, and the spool
// is gone when the export returns.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "base/datetime.h"
#include "base/files.h"
#include "exporter/export_driver.h"
#include "exporter/export_store.h"
#include "pack/naming.h"
#include "support/fault_env.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

using kestrel::testing::ReadFile;

const TestProfile kRoot{5, "BAS", "EXT", {"X40", "c", "ab1"}, std::nullopt, "Y"};
const TestProfile kChild{7, "BAS", "EXT", {"X41U", "c", "ab1"}, TestVrc{"X40", "c", "ab1"}, "Y"};
const TestProfile kGrandchild{9, "BAS", "EXT", {"X42U", "c", "ab1"}, TestVrc{"X41U", "c", "ab1"}, "Y"};

constexpr size_t kNever = std::numeric_limits<size_t>::max();

// A grandchild with 120 mapping objects: every one has rules and revisions in
// the root, every third its own rules, every fifth none at all.
class ManifestSpool : public ::testing::Test {
 protected:
  void SetUp() override {
    env.FixTime(DateTime{2026, 12, 6, 6, 18, 52});
    store.AddApplication("BAS", 0);
    store.AddApplication("EXT", 1);
    store.AddProfile(kRoot);
    store.AddProfile(kChild, {&kRoot});
    store.AddProfile(kGrandchild, {&kChild, &kRoot});
    store.AddDevelopmentVrc(kGrandchild, {"dX42U", "c", "dab1"});
    store.Exec("begin");
    for (int i = 0; i < 120; ++i) {
      TestObject o{"AR", "M" + std::to_string(i), std::to_string(100 + i)};
      objects.push_back(o);
      store.AddObject("EXT", 1, o);
      if (i % 5 == 0) continue;
      store.AddRule120(5, kRoot.vrc, o, "root rule " + std::to_string(i));
      store.AddRevisions(5, kRoot.vrc, o, "root revision " + std::to_string(i));
      if (i % 3 == 0) store.AddRule120(9, kGrandchild.vrc, o, "own rule " + std::to_string(i), "bsmith");
    }
    store.Exec("commit");
  }

  struct Run {
    bool ok = false;
    std::string manifest;
    bool spool_seen = false;  // the spool existed while objects were written
    bool spool_left = false;
  };

  // Exports the grandchild into a folder of its own, the manifest's text
  // spooled past `threshold` bytes.
  Run Export(bool single, size_t threshold, const std::string& folder) {
    files::CreateFolder(env, store.Folder(folder));
    exporter::ExportOptions options;
    options.MigrationProfileTobeExported = 9;
    options.ExportToSingleProfile = single;
    options.Path = store.Folder(folder);
    options.traveseparent = true;
    options.ExportRevisionInformation = true;
    exporter::ExportContext ctx(env);
    ctx.DataConnection = store.connection();
    ctx.ManifestText.SetThreshold(threshold);
    exporter::ExportResults results;
    const std::string pack = store.Folder(folder) + "/ExportedRules/9-BAS-EXT-" + (single ? "S" : "M");
    const std::string spool = files::Join(pack, pack::kManifestSpoolFile);
    Run run;
    ctx.Progress = [&](const std::string&, int64_t) { run.spool_seen = run.spool_seen || files::FileExists(env, spool); };
    run.ok = exporter::ExportMigrationProfiles(options, ctx, results);
    EXPECT_EQ(ctx.PackFolder, pack);
    run.manifest = ReadFile(files::Join(pack, pack::kManifestFile));
    run.spool_left = files::FileExists(env, spool);
    return run;
  }

  // Its clock is fixed, so that every manifest says the same time.
  FaultEnv env;
  ExportStore store;
  std::vector<TestObject> objects;
};

TEST_F(ManifestSpool, ASpooledManifestIsTheManifestWrittenFromMemory) {
  for (bool single : {true, false}) {
    SCOPED_TRACE(single ? "single profile" : "chain");
    const std::string tag = single ? "s" : "m";
    Run memory = Export(single, kNever, "memory-" + tag);
    ASSERT_TRUE(memory.ok);
    EXPECT_FALSE(memory.spool_seen);
    if (single) {
      ASSERT_GT(memory.manifest.size(), 20000u);
      EXPECT_NE(memory.manifest.find(
                    "\tExporting Revisions for Mapping Object ARM119219 Completed 2026-12-06   06:18:52\r\n"),
                std::string::npos);
    }

    for (size_t threshold : {size_t{1}, size_t{500}, SpooledText::kDefaultThreshold}) {
      SCOPED_TRACE(threshold);
      Run spooled = Export(single, threshold, "spooled-" + tag + std::to_string(threshold));
      ASSERT_TRUE(spooled.ok);
      EXPECT_EQ(spooled.manifest, memory.manifest);
      EXPECT_FALSE(spooled.spool_left);
      if (threshold == 1 || (single && threshold < memory.manifest.size())) {
        EXPECT_TRUE(spooled.spool_seen);
      }
    }
  }
}

TEST_F(ManifestSpool, AFailedExportLeavesTheSameManifestAndNoSpool) {
  // A revision of the grandchild's own object without a date fails the export
  // at that object, after others were written.
  store.AddRevisionInfo(9, kGrandchild.vrc, objects[63], "broken", /*null_sdat=*/true);
  Run memory = Export(true, kNever, "memory");
  ASSERT_FALSE(memory.ok);
  ASSERT_EQ(memory.manifest.rfind("ERRORS\r\n", 0), 0u);
  Run spooled = Export(true, 1, "spooled");
  EXPECT_FALSE(spooled.ok);
  EXPECT_TRUE(spooled.spool_seen);
  EXPECT_FALSE(spooled.spool_left);
  EXPECT_EQ(spooled.manifest, memory.manifest);
}

}  // namespace
}  // namespace kestrel::testing
