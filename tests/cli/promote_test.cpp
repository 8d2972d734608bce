// kestrel promote: the demo grandchild's chain moved from the demo store into
// a store on each backend and from there into a fresh file store, which then
// exports the pack the demo store exports; the refusals, each leaving the
// destination as it was; and never a folder left in $TMPDIR.
#include <gmock/gmock.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/demo_pack.h"
#include "support/pack_compare.h"
#include "support/store_dump.h"

namespace kestrel::testing {
namespace {

TEST(PromoteTest, MovesTheChainAcrossBackendsAndRefusesWithoutChange) {
  const DemoPack& d = SharedDemoPack();
  for (const StoreBackend& backend : AllStoreBackends()) {
    SCOPED_TRACE(backend.name);
    if (!backend.unavailable().empty()) continue;
    TempFolder t;
    const std::string tmp = t / "tmp", middle = backend.location(t / "middle"), last = t / "last.db";
    fs::create_directories(tmp);
    fs::create_directories(t / "middle");
    const auto promote = [&](std::vector<std::string> args) {
      args.insert(args.begin(), "promote");
      args.insert(args.end(), {"--registry", d.registry});
      const RunResult r = RunKestrel(args, {{"TMPDIR", tmp}});
      EXPECT_TRUE(fs::is_empty(tmp)) << "left in $TMPDIR after: " << ::testing::PrintToString(args);
      return r;
    };
    for (const std::string& store : {middle, last})
      ASSERT_EQ(RunKestrel({"init-store", store, "--shared-from", d.store}).exit_code, 0);
    const StoreDump fresh = DumpStore(last, true, true);

    RunResult r = promote({d.store + ":30", middle, "--revisions", "--yes"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    // Counted before the import: every row of the chain is new to the store.
    EXPECT_THAT(r.out, StartsWith("differ: " + middle + " and " + d.store + ":30\n"));
    EXPECT_THAT(r.out, HasSubstr("the import would replace profiles: none\n"));
    EXPECT_THAT(r.out, HasSubstr("\nprofile 30 (+ only), rules: 42 added, 0 removed, 0 changed, 0 the same\n"));
    EXPECT_THAT(r.out, HasSubstr("imported pack profile 30 as profile 30"));
    r = promote({middle + ":30", last, "--revisions", "--yes", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["profile"], 30);
    EXPECT_EQ(j["summary"]["equal"], false);
    EXPECT_EQ(j["import"]["committed"], true);
    EXPECT_EQ(ComparePacks(ExportPack(d.store, t / "plain"), ExportPack(last, t / "promoted")), "");

    // Every refusal leaves the destination as it was.
    const StoreDump before = DumpStore(middle);
    // Another spelling of the same store: another path to the file, another URI of the schema.
    const std::string same =
        backend.name == "Sqlite" ? t / "middle/../middle/store.db" : middle + "&application_name=x";
    const struct {
      std::vector<std::string> args;
      std::string err;
    } refusals[] = {
        {{same + ":30", middle, "--yes"},
         "error 9200: The source and the destination of the promotion are the same store: "},
        {{last + ":77", middle, "--yes"}, "error 9131: The store holds no profile of this number: profile 77 in "},
        {{last + ":30", middle, "--yes"},
         "error 9030: The import would delete and replace what the store holds: the store holds profile 10, "
         "profile 20, profile 30, application "},
        {{last + ":30", middle, "--replace"},
         "error 9186: The change was not confirmed; run it again with --yes: no terminal to ask on"},
        {{last + ":30", middle, "--renumber", "40=41", "--yes"}, "error 9121: "},
        {{last + ":30", middle, "--single", "--dry-run"}, ""},
    };
    for (const auto& row : refusals) {
      SCOPED_TRACE(::testing::PrintToString(row.args));
      r = promote(row.args);
      EXPECT_EQ(r.exit_code, row.err.empty() ? 0 : 1) << r.err;
      EXPECT_THAT(r.err, StartsWith(row.err));
      EXPECT_EQ(DumpStore(middle), before);
    }
    // The dry run of the single profile: compared with the stored one exported alike, and replacing it.
    EXPECT_THAT(r.out, StartsWith("equal: " + middle + " and " + last + ":30\n"));
    EXPECT_THAT(r.out, HasSubstr("\nprofiles replaced: 30\napplications replaced: ACC10, ACCX2\n"));
    EXPECT_THAT(r.out, HasSubstr("\ndry run in "));

    // On a terminal it asks, naming what it replaces, and a no changes nothing.
    r = RunOnTerminal({"promote", last + ":30", middle, "--replace", "--registry", d.registry}, false,
                      {{"TMPDIR", tmp}}, "n\n");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_THAT(r.err, HasSubstr("Promote profile 30 of " + last + " into "));
    EXPECT_THAT(r.err, HasSubstr(", replacing profile 10, profile 20, profile 30, application "));
    EXPECT_THAT(r.err, HasSubstr("error 9186: "));
    EXPECT_TRUE(fs::is_empty(tmp));
    EXPECT_EQ(DumpStore(middle), before);

    // Ended by a signal while it asks, the pack exported: the pack goes with it.
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(terminal >= 0 && ::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0);
    const std::string tty = ::ptsname(terminal);
    const pid_t pid = StartProgram(std::string(KESTREL_BIN_DIR) + "/kestrel",
                                   {"promote", last + ":30", middle, "--replace", "--registry", d.registry},
                                   t / "out", tty, {{"TMPDIR", tmp}}, "", tty);
    std::string asked;
    char buffer[512];
    for (ssize_t n; asked.find("[y/N]") == std::string::npos && (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
      asked.append(buffer, static_cast<size_t>(n));
    EXPECT_FALSE(fs::is_empty(tmp)) << asked;
    ::kill(pid, SIGTERM);
    EXPECT_EQ(WaitProgram(pid), -SIGTERM);
    ::close(terminal);
    EXPECT_TRUE(fs::is_empty(tmp));
    EXPECT_EQ(DumpStore(middle), before);

    // The promotion is a run of its destination: the history names where it
    // came from, and its undo leaves the store as it was made, but for the
    // shared functions the import added, which later profiles may call.
    const auto runs = KestrelJson({"history", "--store", last, "--json"})["runs"];
    ASSERT_EQ(runs.size(), 1u) << runs;
    EXPECT_EQ(runs[0]["pack"], "promote " + middle + ":30");
    EXPECT_EQ(runs[0]["added"], nlohmann::json({10, 20, 30}));
    r = RunKestrel({"undo", "1", "--store", last, "--registry", d.registry});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    StoreDump undone = DumpStore(last, true, true), made = fresh;
    EXPECT_NE(undone.at("rows of qzmap150"), made.at("rows of qzmap150"));
    undone.erase("rows of qzmap150"), made.erase("rows of qzmap150");
    EXPECT_EQ(undone, made);
  }
}

}  // namespace
}  // namespace kestrel::testing
