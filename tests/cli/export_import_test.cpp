// kestrel export and kestrel import on real stores: options into the
// manifest and the pack, the pack folder on stdout and nothing else, the
// import's summary as text and as JSON, --user, --replace and --dry-run.
#include <gmock/gmock.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "cli/demo_pack.h"
#include "exporter/pack_readers.h"
#include "store/open.h"
#include "support/store_builder.h"

namespace kestrel::testing {
namespace {

// The profiles the pack's qzmap120 records belong to.
std::string RuleProfiles(const std::string& pack) {
  std::string found, text = ReadFile(pack + "/Qzmap120.dat");
  for (size_t at = text.find(":MPRF:"); at != std::string::npos; at = text.find(":MPRF:", at + 1))
    found += text.substr(at + 6, text.find("\r\n", at) - at - 6) + " ";
  return found;
}

// Each option shows in the manifest or the pack; --traverse-parent brings the
// root's rule in as the child's.
TEST(ExportCommandTest, OptionsReachTheManifestAndThePack) {
  TempFolder t;
  StoreBuilder s = StoreBuilder::RootAndChild(t / "store.db", 5, 7, "root rule");
  const std::string single = t / "ExportedRules/7-BAS-EXT-S", chain = t / "ExportedRules/7-BAS-EXT-M";
  const struct {
    std::vector<std::string> options, manifest_lines;
    std::string pack, rule_profiles;
    size_t headers;
  } rows[] = {
      {{"--single", "--new-number", "70", "--traverse-parent", "--revisions"},
       {"SUCCESS", "ExportToNewProfile=70", "ExportRevisions=1"}, single, "7 ", 1},
      {{"--single", "--sync", "--overwrite"}, {"ExportForSyn=1", "ExportRevisions=0"}, single, "", 1},
      {{}, {"ExportToNewProfile=0"}, chain, "5 ", 2},
      {{"--based-on", "5", "--overwrite"}, {"SUCCESS"}, chain, "", 1},
  };
  std::vector<std::string> args = {"export", "--store", s->location(), "--profile", "7", "--root", t.path()};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.options));
    std::vector<std::string> with_options = args;
    with_options.insert(with_options.end(), row.options.begin(), row.options.end());
    const RunResult r = RunKestrel(with_options);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, row.pack + "\n");
    EXPECT_EQ(r.err, "");  // no progress when stderr is not a terminal
    EXPECT_THAT(LinesOf(row.pack + "/ExportMR.log"), ::testing::IsSupersetOf(row.manifest_lines));
    EXPECT_EQ(RuleProfiles(row.pack), row.rule_profiles);
    EXPECT_EQ(LinesOf(row.pack + "/Qzmap100.dat").size(), row.headers);
  }
  args.resize(5);  // without --root, the environment names the root
  const RunResult r = RunKestrel(args, {{"KESTREL_EXPORT_ROOT", t / "env"}});
  EXPECT_EQ(r.out, t / "env/ExportedRules/7-BAS-EXT-M\n") << r.err;
}

// On a terminal each command that moves rows shows its progress on one line
// it clears at the end, and an error after progress starts on the cleared line.
TEST(ExportCommandTest, ProgressOnlyOnATerminalAndErrorsAfterIt) {
  const std::string root = SharedDemoPack().folder / "terminal/root";
  const Copies c = CopyDemo(SharedDemoPack().folder / "terminal");
  fs::create_directories(root);
  // Stdout on the terminal too: the report starts on the cleared line.
  const struct { std::vector<std::string> args; std::string first, report; } rows[] = {
      {{"export", "--store", c.store, "--profile", "30", "--root", root}, "qzddi100ACC10.dat: ",
       root + "/ExportedRules/30-ACC10-ACCX2-M\r\n"},
      {{"import", c.pack, "--store", c.store, "--registry", c.registry, "--replace", "--no-undo"}, "",
       "imported pack profile "},
      {{"load-functions", c.pack, "--store", c.store, "--registry", c.registry}, "qzmap150: ", "0 of the "},
  };
  RunResult r;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args[0]);
    r = RunOnTerminal(row.args, true);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_THAT(r.err, StartsWith("\r\x1b[K" + row.first));
    EXPECT_THAT(r.err, HasSubstr("\r\x1b[K" + row.report));
  }
  // -q: no progress, even on a terminal.
  r = RunOnTerminal({"-q", "export", "--store", c.store, "--profile", "30", "--root", root, "--overwrite"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "");
  store::Open(c.store)->Execute("drop table qzddi160");
  r = RunOnTerminal({"export", "--store", c.store, "--profile", "30", "--root", root, "--overwrite"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_THAT(r.err, StartsWith("\r\x1b[K"));
  EXPECT_THAT(r.err, ::testing::EndsWith("\r\x1b[Kerror 999: The store has no table qzddi160\r\n"));
}

TEST(ImportCommandTest, SummaryAsTextAndAsJson) {
  const DemoPack& demo = SharedDemoPack();
  const Copies c = CopyDemo(demo.folder / "import");
  const std::string second = demo.folder / "import/second.db";
  ASSERT_EQ(RunKestrel({"init-store", second, "--shared-from", c.store}).exit_code, 0);
  RunResult r = RunKestrel({"import", c.pack, "--store", second, "--registry", c.registry, "--user", "ops"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find("table ")),
            "imported pack profile 10 as profile 10 (ACC10 to ACCX2)\n"
            "imported pack profile 20 as profile 20 (ACC10 to ACCX2)\n"
            "imported pack profile 30 as profile 30 (ACC10 to ACCX2)\n"
            "profiles replaced: none\napplications replaced: none\n");
  for (const char* part : {"\nqzmap101        0        6\n", "\nimport committed in "}) EXPECT_THAT(r.out, HasSubstr(part));
  EXPECT_EQ(r.err, "");
  // Rules of a pack that is not for synchronisation take the importing user.
  StoreBuilder imported(store::Open(second));
  EXPECT_GT(imported.Count("select count(*) from qzmap120"), 0);
  EXPECT_EQ(imported.Count("select count(*) from qzmap120 where lusr <> 'ops'"), 0);

  for (bool dry : {true, false}) {
    SCOPED_TRACE(dry);
    const StoreDump before = DumpStore(c.store);
    const nlohmann::json summary =
        KestrelJson({"import", c.pack, "--store", c.store, "--registry", c.registry, "--json", dry ? "--dry-run" : "--replace"});
    EXPECT_EQ(summary.at("dry_run"), dry);
    EXPECT_EQ(summary.at("committed"), !dry);
    EXPECT_EQ(summary.at("imported").size(), 3u);
    EXPECT_EQ(summary.at("/imported/2"_json_pointer),
              nlohmann::json::parse(R"({"pack_profile":30,"profile":30,"source_application":"ACC10","target_application":"ACCX2"})"));
    // The header file lists 30, 20, 10: each replaced what the store held.
    EXPECT_EQ(summary.at("profiles_replaced"), nlohmann::json::parse("[30,20,10]"));
    EXPECT_EQ(summary.at("applications_replaced"), nlohmann::json::parse(R"(["ACC10","ACCX2"])"));
    EXPECT_EQ(summary.at("tables").at("qzmap101"), nlohmann::json::parse(R"({"deleted":6,"added":6})"));
    EXPECT_GE(summary.at("seconds").get<double>(), 0.0);
    EXPECT_EQ(DumpStore(c.store) == before, dry);
  }
  // A pack an older export wrote, without sums, is taken when the user says
  // so, and said to be unchecked (the refusal without --no-sums is a row of
  // the refusals' table).
  fs::remove(c.pack + "/ExportMR.sums");
  r = RunKestrel({"import", c.pack, "--store", c.store, "--registry", c.registry, "--replace", "--no-sums"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "Note: no ExportMR.sums: the pack's integrity cannot be checked; it is taken as an older export "
                   "wrote it.\n");
  EXPECT_THAT(r.out, HasSubstr("\nimport committed in "));
}

}  // namespace
}  // namespace kestrel::testing
