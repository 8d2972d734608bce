// kestrel diff on the demo store and its chain pack: a pack equals itself; one edit of the store shows as exactly
// that object and its fields, read back from the JSON; the direction of each pair of sides; a changed line of a
// multi-line rule as a hunk with its context, coloured and paged on a terminal; the ways to show less (--stat,
// --name-only, --table); the hunks of the line diff; and a pack beside a store foretells the import's own summary.
#include <gmock/gmock.h>

#include <regex>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "cli/demo_pack.h"
#include "kestrel/diff.h"
#include "kestrel/engine.h"
#include "kestrel/latin1.h"
#include "kestrel/env.h"
#include "store/open.h"
#include "support/error_of.h"
#include "support/store_builder.h"

namespace kestrel::testing {
namespace {

// `a` followed by `b`.
std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The JSON of a diff, whose exit code must say what it says: 0 equal, 1 not.
Json DiffJson(const std::vector<std::string>& args) {
  const RunResult r = RunKestrel(Joined({"diff", "--json"}, args));
  const Json j = Json::parse(r.out);
  EXPECT_EQ(r.exit_code, j["equal"].get<bool>() ? 0 : 1) << r.err;
  return j;
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
      {"demo.db:", K::Store, "demo.db:", 0}, {"demo.db:3a", K::Store, "demo.db:3a", 0}, {":30", K::Store, ":30", 0},
  };
  for (const auto& row : rows) {
    const diff::Side side = diff::ParseSide(Env::Default(), row.text);
    EXPECT_EQ(side.kind, row.kind) << row.text;
    EXPECT_EQ(side.location, row.location) << row.text;
    EXPECT_EQ(side.profile, row.profile) << row.text;
  }
}

// A store side whose export fails is the diff's trouble, named with its
// cause, and leaves nothing of its export in the temporary folder.
TEST(DiffCommandTest, AStoreSideThatCannotBeExportedLeavesNothingBehind) {
  const DemoPack& demo = SharedDemoPack();
  const Copies c = CopyDemo(demo.folder / "unexportable");
  store::Open(c.store)->Execute("alter table qzmap120 drop column comt");
  const std::string tmp = demo.folder / "unexportable/tmp";
  std::filesystem::create_directory(tmp);
  const RunResult r = RunKestrel({"diff", c.store + ":30", c.pack}, {{"TMPDIR", tmp}});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_THAT(r.err, ::testing::HasSubstr("comt")) << r.err;
  EXPECT_TRUE(std::filesystem::is_empty(tmp));
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
  const RunResult equal = RunKestrel({"diff", demo.pack, demo.pack});
  EXPECT_EQ(equal.exit_code, 0);
  EXPECT_EQ(equal.out, "equal: " + demo.pack + " and " + demo.pack + "\n");

  // The store side is exported as the pack was: single, announcing a number, based on an ancestor.
  for (const std::vector<std::string>& options : {std::vector<std::string>{"--single", "--new-number", "77"},
                                                  {"--based-on", "10", "--revisions"}}) {
    TempFolder t;
    const std::string pack = ExportPack(demo.store, t.path(), options);
    EXPECT_TRUE(DiffJson({demo.store + ":30", pack})["equal"].get<bool>()) << options[0];
    EXPECT_FALSE(DiffJson({demo.pack, pack})["equal"].get<bool>()) << options[0];
  }

  const Copies c = CopyDemo(demo.folder / "diff-stat");
  StoreBuilder edited(store::Open(c.store));
  const std::string demo_help = edited.Rows("select help from qzmap150 where func = 'TRIM'").at(0).at(0);
  edited.Exec("update qzmap150 set help = 'Trims both ends.' where func = 'TRIM'");
  const RunResult full = RunKestrel({"diff", c.store + ":30", c.pack});
  const RunResult stat = RunKestrel({"diff", "--stat", c.store + ":30", c.pack});
  EXPECT_EQ(std::make_pair(full.exit_code, stat.exit_code), std::make_pair(1, 1));
  const std::string summary = "shared, functions: 0 added, 0 removed, 1 changed, 4 the same\n";
  EXPECT_EQ(stat.out, "differ: " + c.store + ":30 and " + c.pack + "\n" + summary);
  EXPECT_EQ(full.out, "differ: " + c.store + ":30 and " + c.pack + "\n--- " + c.store + ":30\n+++ " + c.pack + "\n" +
                          summary + "changed qzmap150 shared: func=TRIM\n-help: Trims both ends.\n+help: " +
                          demo_help + "\n");
  EXPECT_FALSE(DiffJson({"--stat", c.store + ":30", c.pack}).contains("changes"));

  // A profile the store lacks: the import adds it, every row of it.
  store::Open(c.store)->Execute("delete from qzmap100 where mprf = 30");
  const Json lacking = DiffJson({c.store, c.pack});
  EXPECT_EQ(lacking["profiles_replaced"], Json::parse("[20,10]"));
  int tables = 0;
  for (const auto& row : lacking["summary"]) {
    if (row.value("b_profile", Json()) != 30) continue;  // the shared scope's rows name no profile
    ++tables;
    EXPECT_TRUE(row["a_profile"].is_null());
    EXPECT_EQ(row["removed"].get<int>() + row["changed"].get<int>() + row["same"].get<int>(), 0) << row;
    EXPECT_GT(row["added"].get<int>(), 0) << row;
  }
  EXPECT_GE(tables, 10);

  // A chain pack without its hierarchy file still compares: those rows are the other side's alone.
  std::filesystem::remove(c.pack + "/Qzmap101.dat");
  EXPECT_THAT(RunKestrel({"diff", "--stat", c.pack, demo.pack}).out,
              ::testing::HasSubstr("\nprofile 30, profile: 3 added, 0 removed"));
  // A pack outside the format is refused, naming the file and line.
  ReplaceIn(c.pack + "/Qzmap130.dat", ":ICOD:", "ICOD:");
  const RunResult damaged = RunKestrel({"diff", c.pack, c.store});
  EXPECT_EQ(damaged.exit_code, 2);
  EXPECT_EQ(damaged.out, "");
  EXPECT_THAT(damaged.err, ::testing::MatchesRegex("error 9[0-9]+: .*/pack/Qzmap130.dat, line [0-9]+: "
                                                   "expected a line beginning with \":ICOD:\".*\n"));
}

// Each edit of the store, compared as STORE:30 against the pack exported before it: the one object it touched, by
// table and key; a changed row with the field that differs, the store's value (a) and the pack's (b), and the rest
// of the row unchanged; an added or removed row with every field of the row on its side, as the store holds it.
TEST(DiffCommandTest, OneEditOfTheStoreNamesItsObjectAndFields) {
  const DemoPack& demo = SharedDemoPack();
  const struct {
    std::string edit, change, scope, table, key_column, key_value, field, a;
    std::string b;  // a select: the stored value before the edit
    // Added and removed rows: the row as the store holds it, before the edit
    // (added: the pack still holds it) or after it (removed).
    std::string row;
    std::vector<std::string> options;
  } rows[] = {
      {"update qzmap120 set prtx = 'IF SRC.KIND = ''B'' THEN' where mprf = 30 and tcmod = 'HRPAY' and stat = 'I'",
       "changed", "profile", "qzmap120", "tcmod", "HRPAY", "prtx", "IF SRC.KIND = 'B' THEN",
       "select prtx from qzmap120 where mprf = 30 and tcmod = 'HRPAY' and stat = 'I'", "", {}},
      // Of the object's two rules the first goes: the second stays paired with its equal.
      {"delete from qzmap120 where mprf = 30 and tcmod = 'ARREC' and stat = 'A'", "added", "profile", "qzmap120",
       "tcmod", "ARREC", "", "", "", "select * from qzmap120 where mprf = 30 and tcmod = 'ARREC' and stat = 'A'", {}},
      {"delete from qzmap140 where mprf = 30 and tcmod = 'COCTR' and dnum = 2", "added", "profile", "qzmap140", "dnum",
       "2", "", "", "", "select * from qzmap140 where mprf = 30 and tcmod = 'COCTR' and dnum = 2", {}},
      {"insert into qzmap160 select mprf, vers, rele, cust, tcpac, tcmod, tflno, 'ROUND(SRC.AMT, 2)', txtn "
       "from qzmap160 where mprf = 30 and tcmod = 'ARREC'",
       "removed", "profile", "qzmap160", "func", "ROUND(SRC.AMT, 2)", "", "", "",
       "select * from qzmap160 where mprf = 30 and func = 'ROUND(SRC.AMT, 2)'", {}},
      {"update qzddi150 set fdsc = 'Schl' || cast(x'fc' as text) || 'ssel alt' where fldn = 'XGL01' and cmod = 'GLACC'",
       "changed", "application", "qzddi150", "fldn", "XGL01", "fdsc", "Schl\u00fcssel alt", "Schl\u00fcssel", "", {}},
      {"update qzlib100 set ldat = '2025-01-02 03:04:05' where mprf = 30", "changed", "profile", "qzlib100", "fnam",
       "fnMapCountry", "ldat", "2025-01-02 03:04:05", "select ldat from qzlib100 where mprf = 30", "",
       {"--load-dates"}},
      {"update qzlib100 set ldat = '2025-01-02 03:04:05' where mprf = 30", "", "", "", "", "", "", "", "", "", {}},
  };
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.edit);
    const Copies c = CopyDemo(demo.folder / ("diff-edit-" + std::to_string(n++)));
    StoreBuilder s(store::Open(c.store));
    const std::string b = row.b.starts_with("select ") ? Latin1ToUtf8(s.Rows(row.b).at(0).at(0)) : row.b;
    std::vector<std::vector<std::string>> whole;
    if (row.change == "added") whole = s.Rows(row.row);
    s.Exec(row.edit);
    if (row.change == "removed") whole = s.Rows(row.row);
    const Json j = DiffJson(Joined(row.options, {c.store + ":30", c.pack}));
    EXPECT_EQ(j["equal"].get<bool>(), row.change.empty());
    if (row.change.empty()) continue;
    ASSERT_EQ(j["changes"].size(), 1u) << j["changes"];
    const Json& change = j["changes"][0];
    EXPECT_EQ(change["change"], row.change);
    EXPECT_EQ(change["scope"], row.scope);
    if (row.scope == "profile") { EXPECT_EQ(change[row.change == "added" ? "b_profile" : "a_profile"], 30); }
    EXPECT_EQ(change["table"], row.table);
    EXPECT_EQ(change["key"][row.key_column], row.key_value);
    EXPECT_EQ(change["key"].contains("tcmod"), row.table.starts_with("qzmap"));
    if (row.change == "changed") {
      Json fields = change["fields"];
      // A value of several lines on either side comes with its hunks as well.
      ASSERT_EQ(fields.size(), 1u) << fields;
      EXPECT_EQ(fields[0].contains("hunks"), b.find("\r\n") != std::string::npos);
      fields[0].erase("hunks");
      EXPECT_EQ(fields, Json::parse(Json::array({{{"column", row.field}, {"a", row.a}, {"b", b}}}).dump()));
      EXPECT_EQ(change["unchanged"][row.key_column], row.key_value);
      EXPECT_FALSE(change["unchanged"].contains(row.field));
      continue;
    }
    // Every column but the profile number and the load date, on the row's side only, each value as the store holds
    // it (the pack leaves the last user to change a rule unset).
    ASSERT_EQ(whole.size(), 1u);
    const std::string side = row.change == "added" ? "b" : "a";
    std::map<std::string, Json> stored, shown;
    const auto columns = s.Rows("select printf('%03d', cid), name from pragma_table_info('" + row.table + "')");
    for (size_t i = 0; i < columns.size(); ++i)
      if (columns[i][1] != "mprf" && columns[i][1] != "ldat")
        stored[columns[i][1]] = whole[0][i] == "NULL" ? Json(nullptr) : Json(Latin1ToUtf8(whole[0][i]));
    for (const Json& f : change["fields"]) {
      EXPECT_EQ(f.size(), 2u) << f;
      shown[f["column"]] = f[side];
    }
    ASSERT_EQ(shown.size(), stored.size());
    for (const auto& [column, value] : shown) {
      if (column == "lusr") continue;
      EXPECT_EQ(value, stored[column]) << column;
    }
    EXPECT_FALSE(change.contains("unchanged"));
  }
}

// From the first side to the second, but a store alone beside a pack is always `-`: what importing the pack would
// change in the store, said in a header line, whichever of the two was named first.
TEST(DiffCommandTest, TheDirectionRunsFromTheFirstSideExceptForAnImport) {
  const DemoPack& demo = SharedDemoPack();
  const Copies c = CopyDemo(demo.folder / "diff-direction");
  StoreBuilder s(store::Open(c.store));
  const std::string where = " where mprf = 30 and tcmod = 'HRPAY' and stat = 'I'";
  const std::string packs = Latin1ToUtf8(s.Rows("select prtx from qzmap120" + where).at(0).at(0));
  s.Exec("update qzmap120 set prtx = 'IF SRC.KIND = ''B'' THEN'" + where);
  const std::string stores = "IF SRC.KIND = 'B' THEN";
  const std::string header =
      "what importing " + c.pack + " would change in " + c.store + ": - the store's, + the pack's\n";
  const struct {
    std::string a, b;      // as named
    std::string first;     // the side shown as `-`
    bool import_preview;
  } rows[] = {
      {c.pack, c.store, c.store, true}, {c.store, c.pack, c.store, true},
      {c.store + ":30", c.pack, c.store + ":30", false}, {c.pack, c.store + ":30", c.pack, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.a + " " + row.b);
    const Json j = DiffJson({row.a, row.b});
    EXPECT_EQ(j["a"], row.first);
    EXPECT_EQ(j["b"], row.first == row.a ? row.b : row.a);
    EXPECT_EQ(j["import_preview"], row.import_preview);
    const bool store_first = row.first.starts_with(c.store);
    bool found = false;
    for (const Json& change : j["changes"])
      if (change["table"] == "qzmap120" && change["change"] == "changed" && change["key"]["tcmod"] == "HRPAY") {
        found = true;
        EXPECT_EQ(change["fields"][0]["a"], store_first ? stores : packs);
        EXPECT_EQ(change["fields"][0]["b"], store_first ? packs : stores);
      }
    EXPECT_TRUE(found) << j["changes"];
    const std::string text = RunKestrel({"diff", "--stat", row.a, row.b}).out;
    EXPECT_EQ(text.find(header) != std::string::npos, row.import_preview) << text;
  }
}

// Two stores whose profile 30 differs in one line of a multi-line rule: that
// line with its context, as a unified diff shows it (-U lines around it,
// default 3), coloured when asked or on a terminal unless NO_COLOR says
// otherwise, paged on a terminal; exit 1.
TEST(DiffCommandTest, OneLineOfAMultiLineRuleShowsWithItsContext) {
  const DemoPack& demo = SharedDemoPack();
  TempFolder t;
  const std::string a = t / "a.db", b = t / "b.db";
  std::filesystem::copy_file(demo.store, a);
  std::filesystem::copy_file(demo.store, b);
  const std::string where = " where mprf = 30 and tcmod = 'HRPAY' and stat = 'I'";
  // Nine lines joined by CR LF; the fifth differs on B.
  const auto rule = [](bool changed) {
    std::string text;
    for (int i = 1; i <= 9; ++i)
      text += (i > 1 ? "' || char(13, 10) || '" : "") +
              (changed && i == 5 ? std::string("  TGT.F5 = ROUND(SRC.F5, 2)") : fmt::format("  TGT.F{} = SRC.F{}", i, i));
    return "update qzmap120 set prtx = '" + text + "'";
  };
  for (const bool changed : {false, true}) StoreBuilder(store::Open(changed ? b : a)).Exec(rule(changed) + where);

  const std::string hunk3 =
      "@@ -2,7 +2,7 @@ prtx\n   TGT.F2 = SRC.F2\n   TGT.F3 = SRC.F3\n   TGT.F4 = SRC.F4\n-  TGT.F5 = SRC.F5\n"
      "+  TGT.F5 = ROUND(SRC.F5, 2)\n   TGT.F6 = SRC.F6\n   TGT.F7 = SRC.F7\n   TGT.F8 = SRC.F8\n";
  RunResult r = RunKestrel({"diff", a + ":30", b + ":30"});
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(r.out, "differ: " + a + ":30 and " + b + ":30\n--- " + a + ":30\n+++ " + b +
                       ":30\nprofile 30, rules: 0 added, 0 removed, 1 changed, 41 the same\n"
                       "changed qzmap120 profile 30: vers=X42U rele=R1 cust=cu02 tcpac=P001 tcmod=HRPAY tflno=049\n" +
                       hunk3);
  EXPECT_EQ(r.out.find("\x1b["), std::string::npos);

  r = RunKestrel({"diff", "-U", "1", a + ":30", b + ":30"});
  EXPECT_THAT(r.out, ::testing::EndsWith("@@ -4,3 +4,3 @@ prtx\n   TGT.F4 = SRC.F4\n-  TGT.F5 = SRC.F5\n"
                                         "+  TGT.F5 = ROUND(SRC.F5, 2)\n   TGT.F6 = SRC.F6\n"));
  r = RunKestrel({"diff", "--color=always", a + ":30", b + ":30"}, {{"NO_COLOR", "1"}});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.out, ::testing::HasSubstr("\x1b[36m@@ -2,7 +2,7 @@ prtx\x1b[m\n   TGT.F2 = SRC.F2\n"));
  EXPECT_THAT(r.out, ::testing::HasSubstr("\n\x1b[31m-  TGT.F5 = SRC.F5\x1b[m\n\x1b[32m+  TGT.F5 = ROUND(SRC.F5, 2)\x1b[m\n"));
  EXPECT_THAT(r.out, ::testing::HasSubstr("\n\x1b[1m--- " + a + ":30\x1b[m\n"));

  // On a terminal: through the pager, coloured unless NO_COLOR is set; --no-pager writes directly.
  // Without PAGER, the first "less" on PATH pages, past a folder that is not there.
  WriteFile(t / "less", "#!/bin/sh\nexec /bin/sed s/^/paged:/\n");
  std::filesystem::permissions(t / "less", std::filesystem::perms::owner_all);
  const struct {
    std::vector<std::string> options;
    std::map<std::string, std::optional<std::string>> env;
    bool paged, coloured;
  } terminals[] = {
      {{}, {{"PAGER", "sed s/^/paged:/"}, {"NO_COLOR", std::nullopt}, {"TERM", "xterm"}}, true, true},
      {{}, {{"PAGER", "sed s/^/paged:/"}, {"NO_COLOR", "1"}, {"TERM", "xterm"}}, true, false},
      {{"--no-pager", "--color=never"}, {{"PAGER", "sed s/^/paged:/"}, {"TERM", "xterm"}}, false, false},
      {{}, {{"PAGER", "cat"}, {"NO_COLOR", std::nullopt}, {"TERM", "dumb"}}, false, false},
      {{}, {{"PAGER", std::nullopt}, {"PATH", "/nonexistent:" + t.path()}, {"NO_COLOR", "1"}}, true, false},
  };
  for (const auto& row : terminals) {
    r = RunOnTerminal(Joined({"diff", a + ":30", b + ":30"}, row.options), true, row.env);
    SCOPED_TRACE(r.err);
    EXPECT_EQ(r.exit_code, 1);
    const std::string changed = row.coloured ? "\x1b[31m-  TGT.F5 = SRC.F5\x1b[m" : "-  TGT.F5 = SRC.F5";
    EXPECT_THAT(r.err, ::testing::HasSubstr((row.paged ? "\npaged:" : "\n") + changed + "\r\n"));
  }
  // A row one side lacks shows its multi-line value whole, each further line under the first.
  StoreBuilder(store::Open(a)).Exec("delete from qzmap120" + where);
  r = RunKestrel({"diff", a + ":30", b + ":30"});
  EXPECT_THAT(r.out, ::testing::HasSubstr("\n+prtx:   TGT.F1 = SRC.F1\n+        TGT.F2 = SRC.F2\n"));
  r = RunKestrel({"diff", "--color=always", b + ":30", a + ":30"});
  EXPECT_THAT(r.out, ::testing::HasSubstr("\n\x1b[31m-prtx:   TGT.F1 = SRC.F1\x1b[m\n\x1b[31m-        TGT.F2"));
}

// `text` as a regular expression that matches it alone.
std::string Literal(const std::string& text) {
  return std::regex_replace(text, std::regex(R"([\[\].()*+?{}|^$\\])"), "\\$&");
}

// What to show: the summary alone, the objects alone, some tables only; a table no pack carries is a usage error.
TEST(DiffCommandTest, StatNameOnlyAndTableShowLess) {
  const DemoPack& demo = SharedDemoPack();
  const Copies c = CopyDemo(demo.folder / "diff-less");
  StoreBuilder s(store::Open(c.store));
  s.Exec("update qzmap120 set stat = 'X' where mprf = 30 and tcmod = 'HRPAY' and stat = 'I'");
  s.Exec("delete from qzmap140 where mprf = 30 and tcmod = 'COCTR' and dnum = 2");
  s.Exec("update qzmap150 set help = 'Trims both ends.' where func = 'TRIM'");
  const std::string head = "differ: " + c.store + ":30 and " + c.pack + "\n";
  const std::string rule120 = "changed qzmap120 profile 30: vers=[^\n]* tcmod=HRPAY [^\n]*\n";
  const std::string rule140 = "added qzmap140 profile 30: vers=[^\n]* tcmod=COCTR [^\n]* dnum=2\n";
  const std::string function = "changed qzmap150 shared: func=TRIM\n";
  const struct {
    std::vector<std::string> options;
    int exit_code;
    std::string out;  // a regular expression
    std::string err = "";
  } rows[] = {
      {{"--name-only"}, 1, rule120 + rule140 + function},
      {{"--name-only", "--table", "qzmap140"}, 1, rule140},
      {{"--name-only", "--table", "qzmap150,qzmap120"}, 1, rule120 + function},
      {{"--table", "qzmap150", "--stat"}, 1,
       Literal(head + "shared, functions: 0 added, 0 removed, 1 changed, 4 the same\n")},
      {{"--table", "qzmap120", "--stat"}, 1, Literal(head + "profile 30, rules: 0 added, 0 removed, 1 changed, 5 the same\n")},
      {{"--table", "qzlgy115"}, 0, Literal("equal: " + c.store + ":30 and " + c.pack + "\n")},
      {{"--name-only", "--table", "qzlgy115"}, 0, ""},
      {{"--table", "qzmap999"}, 2, "", "qzmap999"}, {{"--name-only", "--stat"}, 2, "", "--stat"},
  };
  for (const auto& row : rows) {
    const RunResult r = RunKestrel(Joined(Joined({"diff"}, row.options), {c.store + ":30", c.pack}));
    SCOPED_TRACE(::testing::PrintToString(row.options) + "\n" + r.err);
    EXPECT_EQ(r.exit_code, row.exit_code);
    EXPECT_THAT(r.out, ::testing::MatchesRegex(row.out));
    EXPECT_THAT(r.err, ::testing::HasSubstr(row.err));
  }
  // A host of the library is refused such a table by its number, naming it,
  using K = diff::Side::Kind;
  diff::Options unknown;
  unknown.tables = {"qzmap120", "qzmap999"};
  const ComError e = CaughtFrom([&] { kestrel::Diff({K::Pack, c.pack, 0}, {K::Pack, c.pack, 0}, unknown); });
  EXPECT_EQ(e.number(), 9110);
  EXPECT_EQ(e.description(), "No logic pack carries this table: qzmap999");
  // And a store profile beyond the stores' 16 bits, as overflowing.
  for (const int64_t profile : {32768, -32769})
    EXPECT_EQ(ErrorOf([&] { kestrel::Diff({K::StoreProfile, c.store, profile}, {K::Pack, c.pack, 0}); }), rt::Overflow)
        << profile;
}

// The hunks of the line diff: context cut at the text's ends, changes close
// enough to share their context in one hunk, far ones in two, an empty side.
TEST(DiffLinesTest, HunksGatherChangesWithTheirContext) {
  const auto lines = [](std::initializer_list<std::string_view> ls) {
    std::string text;
    for (std::string_view l : ls) text += (text.empty() ? "" : "\r\n") + std::string(l);
    return text;
  };
  const std::string ten = lines({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"});
  const struct {
    std::string a, b;
    int context;
    std::string hunks;  // each "@@ -a,n +b,m @@" then its lines, joined by "|"
  } rows[] = {
      {ten, ten, 3, ""},
      {ten, lines({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}), 2, "@@ -1,2 +1,3 @@|+0| 1| 2"},
      {ten, lines({"1", "2", "3", "4", "5", "6", "7", "8", "9"}), 2, "@@ -8,3 +8,2 @@| 8| 9|-10"},
      {ten, lines({"1", "2", "x", "4", "5", "6", "y", "8", "9", "10"}), 1,
       "@@ -2,3 +2,3 @@| 2|-3|+x| 4|@@ -6,3 +6,3 @@| 6|-7|+y| 8"},
      {ten, lines({"1", "2", "x", "4", "5", "y", "7", "8", "9", "10"}), 1, "@@ -2,6 +2,6 @@| 2|-3|+x| 4| 5|-6|+y| 7"},
      {"", "a\r\nb", 3, "@@ -1 +1,2 @@|-|+a|+b"}, {"a\r\nb\r\n", "a\r\nc\r\n", 0, "@@ -2 +2 @@|-b|+c"},
  };
  for (const auto& row : rows) {
    std::string got;
    for (const diff::Hunk& h : diff::LineHunks(row.a, row.b, row.context)) {
      got += fmt::format("{}@@ -{}{} +{}{} @@", got.empty() ? "" : "|", h.a_start,
                         h.a_count == 1 ? "" : "," + std::to_string(h.a_count), h.b_start,
                         h.b_count == 1 ? "" : "," + std::to_string(h.b_count));
      for (const std::string& l : h.lines) got += "|" + l;
    }
    EXPECT_EQ(got, row.hunks) << row.a << " -> " << row.b;
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
  const Json import = KestrelJson({"import", c.pack, "--store", c.store, "--registry", c.registry, "--json", "--dry-run"});
  EXPECT_EQ(d["profiles_replaced"], import["profiles_replaced"]);
  EXPECT_EQ(d["applications_replaced"], import["applications_replaced"]);
  std::map<std::string, std::pair<int64_t, int64_t>> counted;  // table: rows the import would delete, add
  int64_t changed = 0;
  for (const auto& row : d["summary"]) {
    if (row["kind"] == "functions" || row["kind"] == "codes") continue;  // the import leaves them to load-functions
    const int64_t both = row["same"].get<int64_t>() + row["changed"].get<int64_t>();
    counted[row["table"]].first += both + row["removed"].get<int64_t>();
    counted[row["table"]].second += both + row["added"].get<int64_t>();
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

  // Renumbered apart from the store's profiles, the pack still replaces the applications: their rows come from an
  // export of a profile serving them.
  diff::Options apart;
  apart.renumber = {{10, 110}, {20, 120}, {30, 130}};
  const diff::Result r = kestrel::Diff({diff::Side::Kind::Pack, c.pack, 0}, {diff::Side::Kind::Store, c.store, 0}, apart);
  EXPECT_EQ(r.profiles_replaced, std::vector<int64_t>{});
  EXPECT_EQ(r.applications_replaced, (std::vector<std::string>{"ACC10", "ACCX2"}));
  int64_t same = 0;
  for (const auto& [scope, tables] : r.counts)
    for (const auto& [table, n] : tables)
      if (table.starts_with("qzddi")) {
        EXPECT_EQ(n.added + n.removed, 0) << table;
        same += n.same;
      }
  EXPECT_GT(same, 0);
}

}  // namespace
}  // namespace kestrel::testing
