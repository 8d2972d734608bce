// kestrel diff on the demo store and its chain pack: a pack equals itself;
// one edit of the store shows as exactly that object and field, read back
// from the JSON; --stat is the summary alone; and a pack beside a store
// foretells the import's own summary.
#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "cli/demo_pack.h"
#include "kestrel/diff.h"
#include "kestrel/latin1.h"
#include "kestrel/env.h"
#include "store/open.h"
#include "support/store_builder.h"

namespace kestrel::testing {
namespace {

using Json = nlohmann::json;

Json DiffJson(const std::vector<std::string>& args) {
  std::vector<std::string> all = {"diff", "--json"};
  all.insert(all.end(), args.begin(), args.end());
  const RunResult r = RunKestrel(all);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  return Json::parse(r.out);
}

// A side is split at the last ":" that only digits follow, unless it names a folder.
TEST(DiffCommandTest, SidesArePacksStoreProfilesOrStores) {
  TempFolder t;
  std::filesystem::create_directory(t / "pack:30");
  using K = diff::Side::Kind;
  const struct {
    std::string text;
    K kind;
    std::string location;
    int64_t profile;
  } rows[] = {
      {t / "pack:30", K::Pack, t / "pack:30", 0},
      {"/srv/stores/demo.db:30", K::StoreProfile, "/srv/stores/demo.db", 30},
      {"postgresql:///kestrel?host=/run/postgresql:1200", K::StoreProfile, "postgresql:///kestrel?host=/run/postgresql", 1200},
      {"archive:2024.db:7", K::StoreProfile, "archive:2024.db", 7},
      {"postgresql://db.example:5432/kestrel", K::Store, "postgresql://db.example:5432/kestrel", 0},
      {"demo.db:", K::Store, "demo.db:", 0},
      {"demo.db:3a", K::Store, "demo.db:3a", 0},
      {":30", K::Store, ":30", 0},
  };
  for (const auto& row : rows) {
    const diff::Side side = diff::ParseSide(Env::Default(), row.text);
    EXPECT_EQ(side.kind, row.kind) << row.text;
    EXPECT_EQ(side.location, row.location) << row.text;
    EXPECT_EQ(side.profile, row.profile) << row.text;
  }
}

TEST(DiffCommandTest, APackEqualsItselfAndStatIsTheSummaryAlone) {
  const DemoPack& demo = SharedDemoPack();
  const Json self = DiffJson({demo.pack, demo.pack});
  EXPECT_TRUE(self["equal"].get<bool>());
  EXPECT_TRUE(self["changes"].empty());
  ASSERT_FALSE(self["summary"].empty());
  for (const auto& row : self["summary"]) {
    EXPECT_EQ(row["added"].get<int>() + row["removed"].get<int>() + row["changed"].get<int>(), 0) << row;
    EXPECT_GT(row["same"].get<int>(), 0) << row;
  }
  EXPECT_EQ(RunKestrel({"diff", "--exit-code", demo.pack, demo.pack}).out,
            "equal: " + demo.pack + " and " + demo.pack + "\n");

  // The store side is exported as the pack was: single, announcing a number, based on an ancestor.
  for (const std::vector<std::string>& options : {std::vector<std::string>{"--single", "--new-number", "77"},
                                                  {"--based-on", "10", "--revisions"}}) {
    TempFolder t;
    std::vector<std::string> args = {"export", "--store", demo.store, "--profile", "30", "--root", t.path()};
    args.insert(args.end(), options.begin(), options.end());
    const RunResult exported = RunKestrel(args);
    ASSERT_EQ(exported.exit_code, 0) << exported.err;
    const std::string pack = exported.out.substr(0, exported.out.find('\n'));
    EXPECT_TRUE(DiffJson({demo.store + ":30", pack})["equal"].get<bool>()) << options[0];
    EXPECT_FALSE(DiffJson({demo.pack, pack})["equal"].get<bool>()) << options[0];
  }

  const Copies c = CopyDemo(demo.folder / "diff-stat");
  store::Open(c.store)->Execute("update qzmap150 set help = 'Trims both ends.' where func = 'TRIM'");
  const RunResult full = RunKestrel({"diff", "--exit-code", c.store + ":30", c.pack});
  const RunResult stat = RunKestrel({"diff", "--stat", c.store + ":30", c.pack});
  EXPECT_EQ(full.exit_code, 3);
  EXPECT_EQ(stat.exit_code, 0);
  EXPECT_EQ(stat.out, "differ: " + c.store + ":30 and " + c.pack +
                          "\nshared, functions: 0 added, 0 removed, 1 changed, 4 the same\n");
  EXPECT_EQ(full.out.substr(0, stat.out.size()), stat.out);
  EXPECT_THAT(full.out.substr(stat.out.size()),
              ::testing::StartsWith("changed qzmap150 shared: func=TRIM\n    help\n      - Trims both ends.\n"));
  EXPECT_FALSE(DiffJson({"--stat", c.store + ":30", c.pack}).contains("changes"));

  // A profile the store lacks: the import adds it, every row of it.
  store::Open(c.store)->Execute("delete from qzmap100 where mprf = 30");
  const Json lacking = DiffJson({c.store, c.pack});
  EXPECT_EQ(lacking["profiles_replaced"], Json::parse("[20,10]"));
  int tables = 0;
  for (const auto& row : lacking["summary"]) {
    if (row["b_profile"] != 30) continue;
    ++tables;
    EXPECT_TRUE(row["a_profile"].is_null());
    EXPECT_EQ(row["removed"].get<int>() + row["changed"].get<int>() + row["same"].get<int>(), 0) << row;
    EXPECT_GT(row["added"].get<int>(), 0) << row;
  }
  EXPECT_GE(tables, 10);

  // A pack outside the format is refused, naming the file and line.
  ReplaceIn(c.pack + "/Qzmap130.dat", ":ICOD:", "ICOD:");
  const RunResult damaged = RunKestrel({"diff", c.pack, c.store});
  EXPECT_EQ(damaged.exit_code, 1);
  EXPECT_THAT(damaged.err, ::testing::MatchesRegex("error 9[0-9]+: .*/pack/Qzmap130.dat, line [0-9]+: "
                                                   "expected a line beginning with \":ICOD:\".*\n"));
}

// Each edit of the store, compared as STORE:30 against the pack exported
// before it: the one object it touched, by table and key, and the field with
// the store's value (a) and the pack's (b).
TEST(DiffCommandTest, OneEditOfTheStoreNamesItsObjectAndField) {
  const DemoPack& demo = SharedDemoPack();
  const struct {
    std::string edit, change, scope, table, key_column, key_value, field, a;
    std::string b;  // a select: the stored value before the edit
    std::vector<std::string> options;
  } rows[] = {
      {"update qzmap120 set prtx = 'IF SRC.KIND = ''B'' THEN' where mprf = 30 and tcmod = 'HRPAY' and stat = 'I'",
       "changed", "profile", "qzmap120", "tcmod", "HRPAY", "prtx", "IF SRC.KIND = 'B' THEN",
       "select prtx from qzmap120 where mprf = 30 and tcmod = 'HRPAY' and stat = 'I'", {}},
      // Of the object's two rules the first goes: the second stays paired with its equal.
      {"delete from qzmap120 where mprf = 30 and tcmod = 'ARREC' and stat = 'A'", "added", "profile", "qzmap120",
       "tcmod", "ARREC", "", "", "", {}},
      {"delete from qzmap140 where mprf = 30 and tcmod = 'COCTR' and dnum = 2", "added", "profile", "qzmap140", "dnum",
       "2", "", "", "", {}},
      {"insert into qzmap160 select mprf, vers, rele, cust, tcpac, tcmod, tflno, 'ROUND(SRC.AMT, 2)', txtn "
       "from qzmap160 where mprf = 30 and tcmod = 'ARREC'",
       "removed", "profile", "qzmap160", "func", "ROUND(SRC.AMT, 2)", "", "", "", {}},
      {"update qzddi150 set fdsc = 'Schl' || cast(x'fc' as text) || 'ssel alt' where fldn = 'XGL01' and cmod = 'GLACC'",
       "changed", "application", "qzddi150", "fldn", "XGL01", "fdsc", "Schl\u00fcssel alt", "Schl\u00fcssel", {}},
      {"update qzlib100 set ldat = '2025-01-02 03:04:05' where mprf = 30", "changed", "profile", "qzlib100", "fnam",
       "fnMapCountry", "ldat", "2025-01-02 03:04:05", "select ldat from qzlib100 where mprf = 30", {"--load-dates"}},
      {"update qzlib100 set ldat = '2025-01-02 03:04:05' where mprf = 30", "", "", "", "", "", "", "", "", {}},
  };
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.edit);
    const Copies c = CopyDemo(demo.folder / ("diff-edit-" + std::to_string(n++)));
    StoreBuilder s(store::Open(c.store));
    const std::string b = row.b.starts_with("select ") ? Latin1ToUtf8(s.Rows(row.b).at(0).at(0)) : row.b;
    s.Exec(row.edit);
    std::vector<std::string> args = row.options;
    args.insert(args.end(), {c.store + ":30", c.pack});
    const Json j = DiffJson(args);
    EXPECT_EQ(j["equal"].get<bool>(), row.change.empty());
    if (row.change.empty()) continue;
    ASSERT_EQ(j["changes"].size(), 1u) << j["changes"];
    const Json& change = j["changes"][0];
    EXPECT_EQ(change["change"], row.change);
    EXPECT_EQ(change["scope"], row.scope);
    if (row.scope == "profile") {
      EXPECT_EQ(change[row.change == "added" ? "b_profile" : "a_profile"], 30);
    }
    EXPECT_EQ(change["table"], row.table);
    EXPECT_EQ(change["key"][row.key_column], row.key_value);
    EXPECT_EQ(change["key"].contains("tcmod"), row.table.starts_with("qzmap"));
    if (row.field.empty()) {
      EXPECT_TRUE(change["fields"].empty());
      continue;
    }
    EXPECT_EQ(change["fields"], Json::parse(Json::array({{{"column", row.field}, {"a", row.a}, {"b", b}}}).dump()));
  }
}

// What the diff of the pack beside the store counts is what the import then
// deletes and adds: every row of a replaced profile or application, the
// same ones included, and the rows of the store's development VRCs, which no
// export carries.
TEST(DiffCommandTest, APackBesideAStoreForetellsTheImportSummary) {
  const DemoPack& demo = SharedDemoPack();
  const Copies c = CopyDemo(demo.folder / "diff-import");
  StoreBuilder s(store::Open(c.store));
  s.Exec("update qzmap120 set stat = 'X' where mprf = 20 and tcmod = 'APINV'");
  s.Exec("delete from qzmap170 where mprf = 10 and rowid = (select min(rowid) from qzmap170 where mprf = 10)");
  s.Exec("update qzddi160 set dsca = 'Gesperrt seit 2024' where dval = 'B'");
  const Json d = DiffJson({c.pack, c.store});
  RunResult r = RunKestrel({"import", c.pack, "--store", c.store, "--registry", c.registry, "--json", "--dry-run"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const Json import = Json::parse(r.out);
  EXPECT_EQ(d["profiles_replaced"], import["profiles_replaced"]);
  EXPECT_EQ(d["applications_replaced"], import["applications_replaced"]);
  std::map<std::string, std::pair<int64_t, int64_t>> counted;  // table: rows the import would delete, add
  int64_t changed = 0;
  for (const auto& row : d["summary"]) {
    if (row["kind"] == "functions" || row["kind"] == "codes") continue;  // the import leaves them to load-functions
    const int64_t both = row["same"].get<int64_t>() + row["changed"].get<int64_t>();
    counted[row["table"]].first += both + row["added"].get<int64_t>();
    counted[row["table"]].second += both + row["removed"].get<int64_t>();
    changed += row["changed"].get<int64_t>() + row["added"].get<int64_t>() + row["removed"].get<int64_t>();
  }
  EXPECT_GE(changed, 3);
  ASSERT_EQ(counted.size(), 27u);
  for (const auto& [table, rows] : counted) {
    SCOPED_TRACE(table);
    const bool vrc = table != "qzmap100" && table != "qzmap101" && table != "qzmap105" && !table.starts_with("qzddi") &&
                     !table.starts_with("qzlgy");
    const int64_t development = vrc ? s.Count("select count(*) from " + table +
                                              " where vers || rele || cust in (select dver || drel || dcus from qzmap105)")
                                    : 0;
    EXPECT_EQ(import["tables"][table]["deleted"].get<int64_t>(), rows.first + development);
    EXPECT_EQ(import["tables"][table]["added"].get<int64_t>(), rows.second);
  }
}

}  // namespace
}  // namespace kestrel::testing
