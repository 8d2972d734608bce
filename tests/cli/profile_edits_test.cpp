// kestrel delete and renumber on the demo chain 10 <- 20 <- 30, on every
// backend: each store dumped whole before and after. A renumber there and
// back leaves every table as it was; a delete takes the profile's rows of
// its seventeen tables and nothing else; every refusal leaves the store
// untouched.
#include <fmt/format.h>
#include <gmock/gmock.h>

#include <tuple>

#include "cli/demo_pack.h"
#include "store/schema.h"
#include "store/sql.h"
#include "support/store_builder.h"
#include "support/store_dump.h"

namespace kestrel::testing {
namespace {

// The rows of profile `mprf` in each of its seventeen tables.
std::map<std::string, int64_t> ProfileRows(const std::string& location, int64_t mprf) {
  const StoreBuilder s(store::Open(location));
  std::map<std::string, int64_t> out;
  for (std::string_view table : store::ProfileTables()) {
    const std::string column = table == "qzusr110" ? store::sql::CastToInt(s->dialect(), "mprf") : "mprf";
    out[std::string(table)] = s.Count(fmt::format("select count(*) from {} where {}={}", table, column, mprf));
  }
  return out;
}

TEST(ProfileEditsTest, RenumberAndDeleteChangeThatProfileAlone) {
  ForEachDemoStore([](const StoreBackend&, const TempFolder&, const std::string& store) {
    const StoreDump original = DumpStore(store);
    const auto rows20 = ProfileRows(store, 20), rows30 = ProfileRows(store, 30);
    ASSERT_GT(rows20.at("qzmap120"), 0);
    ASSERT_GT(rows30.at("qzusr110"), 0);

    // Refusals, each leaving every table as it was.
    const struct {
      std::vector<std::string> args;
      std::string err;
    } refusals[] = {
        {{"renumber", "77", "78"}, "error 9131: The store holds no profile of this number: profile 77 in "},
        {{"renumber", "20", "30"}, "error 9184: The store holds a profile of that number already: profile 30 in "},
        {{"renumber", "20", "10"}, "error 9184: "},
        {{"renumber", "20", "5"},
         "error 9185: A profile's number must stay above its parent's and below each of its children's: 5 for "
         "profile 20, whose parent is 10 and children 30\n"},
        {{"renumber", "20", "31"}, "error 9185: "},
        {{"renumber", "10", "25"}, "error 9185: "},
        {{"delete", "--profile", "20", "--yes"},
         "error 9183: Other profiles derive from the profile; delete or move them first: profile 20: 30\n"},
        {{"delete", "--profile", "77", "--yes"}, "error 9131: "},
        {{"delete", "--profile", "30"},
         "error 9186: The change was not confirmed; run it again with --yes: no terminal to ask on (stdin is not "
         "one)\n"},
    };
    for (const auto& row : refusals) {
      std::vector<std::string> args = row.args;
      args.insert(args.end(), {"--store", store});
      const RunResult r = RunKestrel(args);
      EXPECT_EQ(r.exit_code, 1) << row.args[0] << ' ' << row.args[1];
      EXPECT_THAT(r.err, ::testing::StartsWith(row.err));
      EXPECT_EQ(DumpStore(store), original);
    }

    // The middle of the chain moves to 25: its rows and its child's chain follow.
    RunResult r = RunKestrel({"renumber", "--store", store, "20", "25", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\"from\":20,\"to\":25"));
    EXPECT_EQ(ProfileRows(store, 25), rows20);
    for (const auto& [table, n] : ProfileRows(store, 20)) EXPECT_EQ(n, 0) << table;
    EXPECT_EQ(ProfileRows(store, 30), rows30);
    EXPECT_EQ(StoreBuilder(store::Open(store)).Count("select pprf from qzmap101 where mprf=30 and levl=2"), 25);
    EXPECT_EQ(StoreBuilder(store::Open(store)).Count("select count(*) from qzmap101 where pprf=20"), 0);
    // A pack's profile keeps the parent the pack names, whatever the store's chain is now.
    EXPECT_EQ(KestrelJson({"show", SharedDemoPack().pack, "--store", store, "--json"}).at("/source/2/parent"_json_pointer),
              20);
    // And back: every table as it was.
    ASSERT_EQ(RunKestrel({"renumber", "--store", store, "25", "20"}).exit_code, 0);
    EXPECT_EQ(DumpStore(store), original);

    // The leaf goes: its rows in its seventeen tables, nothing else.
    r = RunKestrel({"delete", "--store", store, "--profile", "30", "--yes", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    StoreDump after = DumpStore(store), rest = original;
    int64_t removed = 0;
    for (const auto& [table, n] : rows30) {
      EXPECT_EQ(after.at("rows of " + table).size() + static_cast<size_t>(n), original.at("rows of " + table).size())
          << table;
      removed += n;
      after.erase("rows of " + table);
      rest.erase("rows of " + table);
    }
    EXPECT_EQ(after, rest);  // the shared and application tables untouched
    EXPECT_THAT(r.out, HasSubstr("\"rows\":" + std::to_string(removed)));
    EXPECT_EQ(ProfileRows(store, 20), rows20);
  });
}

// On a terminal the delete asks, naming the profile, and goes ahead only on yes.
TEST(ProfileEditsTest, DeleteAsksOnATerminal) {
  TempFolder t;
  const std::string store = t / "store.db";
  std::filesystem::copy_file(SharedDemoPack().store, store);
  const StoreDump original = DumpStore(store);
  const std::string question = "Delete profile 30 (X42U/R1/cu02, \"";
  RunResult r = RunOnTerminal({"delete", "--store", store, "--profile", "30"}, false, {}, "n\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.err, HasSubstr(question));
  EXPECT_THAT(r.err, HasSubstr(" from " + store + "? [y/N] "));
  EXPECT_THAT(r.err, HasSubstr("error 9186: The change was not confirmed; run it again with --yes\r\n"));
  EXPECT_EQ(DumpStore(store), original);
  r = RunOnTerminal({"delete", "--store", store, "--profile", "30"}, false, {}, "yes\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(r.out, ::testing::StartsWith("deleted profile 30 from " + store + " ("));
  for (const auto& [table, n] : ProfileRows(store, 30)) EXPECT_EQ(n, 0) << table;
}

// Imports, deletes and undos of the demo store, on every backend: each undo
// that goes through leaves every table as it was before the run it undoes;
// each refusal leaves every table as it was.
TEST(UndoTest, UndoPutsEveryTableBackAndRefusesWhatWouldLoseChanges) {
  const DemoPack& d = SharedDemoPack();
  ForEachDemoStore([&](const StoreBackend&, const TempFolder&, const std::string& store) {
    {
      // Rows the pack does not carry as the store holds them, so that an
      // import really replaces them.
      auto c = store::Open(store);
      c->Execute("update qzmap120 set txtn='edited here' where mprf=20");
      c->Execute("update qzmap100 set dsca='edited here' where mprf=10");
    }
    const auto with = [&](std::vector<std::string> args) {  // an import with these options
      args.insert(args.begin(), {"import", d.pack, "--store", store, "--registry", d.registry, "--replace"});
      return args;
    };
    std::map<std::string, StoreDump> dumps = {{"start", DumpStore(store, true, true)}};
    const struct {
      std::vector<std::string> args;
      int exit_code;
      std::string said;   // on stdout, or on stderr when it fails
      std::string after;  // the dump the store equals afterwards ("": none, "=": as before), else named
    } steps[] = {
        {with({"--renumber", "30=40"}), 0, "recorded as run 1 ", "imported"},  // replaces 10, 20; adds 40
        {{"delete", "--profile", "40", "--yes"}, 0, "recorded as run 2 ", "deleted"},
        {{"undo", "2"}, 0, "undid run 2 in " + store + " as run 3\nprofiles restored: 40\n", "imported"},
        {{"undo", "2"}, 1, "error 9211: The run was undone already: run 2, by run 3\n", "="},
        {{"undo", "3", "--json"}, 0, "\"restored\":[],\"deleted\":[40],", "deleted"},  // nothing to restore
        {with({"--renumber", "30=40"}), 0, "recorded as run 5 ", ""},
        {{"undo", "1"}, 1,
         "error 9213: A later run changed the same profiles; undoing this one would lose its changes: run 2 (", "="},
        {{"undo", "1", "--force"}, 0, "profiles restored: 10, 20\nprofiles deleted: 40\n", "start"},
        {{"undo", "1"}, 1, "error 9211: ", "="},
        {{"undo", "77"}, 1, "error 9210: The store keeps no run of this number: run 77 in ", "="},
        // Profiles and applications of their own, added alone: the undo deletes them all.
        {with({"--renumber", "10=110,20=120,30=130", "--apps", "NEWA:NEWB"}), 0, "recorded as run 7 ", ""},
        {{"undo", "7"}, 0, "profiles deleted: 130, 120, 110\napplications deleted: NEWA, NEWB\n", "start"},
        {with({"--no-undo"}), 0, "import committed", "reimported"},
        {{"undo", "9"}, 1, "error 9210: ", "="},
        // A renumber is undone by giving the profile its number back.
        {{"renumber", "30", "35"}, 0, "recorded as run 9 ", ""},
        {{"undo", "9"}, 0, "undid run 9 in " + store + " as run 10\nprofile 35 numbered 30 again\n", "reimported"},
    };
    for (const auto& step : steps) {
      SCOPED_TRACE(step.args[0] + " " + step.args[1] + " " + step.args.back());
      std::vector<std::string> args = step.args;
      if (args[0] != "import") args.insert(args.end(), {"--store", store});
      if (args[0] == "undo") args.insert(args.end(), {"--registry", d.registry});
      const StoreDump before = DumpStore(store, true, true);
      const RunResult r = RunKestrel(args);
      ASSERT_EQ(r.exit_code, step.exit_code) << r.err;
      EXPECT_THAT(step.exit_code == 0 ? r.out : r.err, HasSubstr(step.said));
      const StoreDump after = DumpStore(store, true, true);
      if (step.after == "=") EXPECT_EQ(after, before);
      else if (dumps.contains(step.after)) EXPECT_EQ(after, dumps.at(step.after));
      else if (!step.after.empty()) dumps[step.after] = after;
    }
    EXPECT_NE(dumps.at("imported"), dumps.at("start"));

    // The history, after the oldest run is made older than a month and pruned.
    store::Open(store)->Execute("update kestrel_runs set started='2020-01-01 00:00:00' where id=1");
    const Json history = KestrelJson({"history", "--store", store, "--prune", "30", "--json"});
    EXPECT_EQ(history["pruned"], 1);
    const std::vector<std::tuple<int, std::vector<int>, std::vector<int>, bool, Json>> expected = {
        {2, {}, {40}, true, 3},      {3, {40}, {}, true, 4},           {4, {}, {40}, true, nullptr},
        {5, {40}, {10, 20}, true, nullptr}, {6, {}, {10, 20, 40}, true, nullptr},
        {7, {110, 120, 130}, {}, true, 8},  {8, {}, {110, 120, 130}, true, nullptr},
        {9, {35}, {30}, true, 10},          {10, {30}, {35}, true, nullptr},
    };
    ASSERT_EQ(history["runs"].size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      const auto& [id, added, replaced, kept, undone_by] = expected[i];
      const Json& run = history["runs"][i];
      EXPECT_EQ(run["run"], id);
      EXPECT_EQ(run["added"], Json(added)) << id;
      EXPECT_EQ(run["replaced"], Json(replaced)) << id;
      EXPECT_EQ(run["undo_kept"], kept) << id;
      EXPECT_EQ(run["undone_by"], undone_by) << id;
    }
  });
}

}  // namespace
}  // namespace kestrel::testing
