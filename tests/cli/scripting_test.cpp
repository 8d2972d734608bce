// The command line as scripts and pipes use it: the read-only commands
// without an installation, renumbering and applications by name, stored
// texts on a pipe as the locale asks, and one JSON vocabulary with failures
// in JSON too.
#include <gmock/gmock.h>

#include <map>
#include <optional>

#include <nlohmann/json.hpp>

#include "cli/demo_pack.h"
#include "present/json.h"

namespace kestrel::testing {
namespace {

// A pack of the demo store's profile 30 alone, announcing 35: the pack a
// bare --target number renumbers.
const std::string& SingleProfilePack() {
  static const std::string* pack = new std::string(ExportPack(
      SharedDemoPack().store, SharedDemoPack().folder / "single", {"--single", "--new-number", "35"}));
  return *pack;
}

// With no registry file and an empty home, the commands that only read work
// and leave nothing behind; only the import needs an installation.
TEST(ScriptingTest, ReadOnlyCommandsNeedNoInstallation) {
  const DemoPack& demo = SharedDemoPack();
  TempFolder home;
  const std::string pack = demo.pack, store = demo.store;
  const struct {
    std::vector<std::string> args;
    int exit_code;
    std::string out_has, err_start;
  } rows[] = {
      {{"ls", pack}, 0, "every file matches", ""},
      {{"show", pack, "--store", store}, 0, "Import as", ""},
      {{"verify", pack, "--store", store, "--renumber", "30=40"}, 0, "The selection passes.", ""},
      {{"check", pack, "--store", store}, 0, "passes the check", ""},
      {{"diff", pack, store + ":30"}, 0, "equal", ""},
      {{"depth", "--store", store, "--parent", "20"}, 0, "3\n", ""},
      {{"list", "--store", store}, 0, "Customer update", ""},
      {{"counts", "--store", store}, 0, "qzmap100", ""},
      // A failing selection is refused as verify refuses it, before the
      // installation is asked for; one that passes needs it to be imported.
      {{"import", pack, "--store", store, "--dry-run", "--renumber", "10=5"}, 1, "", "error 504: "},
      {{"import", pack, "--store", store, "--dry-run"}, 1, "",
       "error 505: The registry file " + (home / "none.ini") + " records no installation folder"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    const RunResult r = RunKestrel(row.args, {{"HOME", home.path()}, {"KESTREL_REGISTRY", home / "none.ini"}});
    EXPECT_EQ(r.exit_code, row.exit_code) << r.err;
    EXPECT_THAT(r.out, HasSubstr(row.out_has));
    EXPECT_THAT(r.err, StartsWith(row.err_start));
    if (row.exit_code == 0) { EXPECT_EQ(r.err, ""); }
  }
  EXPECT_TRUE(fs::is_empty(home.path()));
}

// --renumber, --apps and a bare --target make the targets show, verify and
// import hand the engine; each mistake is named, with the pack's profiles
// where the pack decides.
TEST(ScriptingTest, RenumberingAndApplicationsByName) {
  const DemoPack& demo = SharedDemoPack();
  const std::string chain = demo.pack, single = SingleProfilePack();
  using Numbers = std::vector<std::pair<int, int>>;  // profile, parent of each target
  const struct {
    std::string command, pack;
    std::vector<std::string> options;
    int exit_code;
    Numbers targets;
    std::string applications, err_start;  // applications: "SRC:TGT" of every target, when checked
  } rows[] = {
      {"show", chain, {"--renumber", "30=40"}, 0, {{10, 0}, {20, 10}, {40, 20}}, "ACC10:ACCX2", ""},
      {"verify", chain, {"--renumber", "30=40"}, 0, {{10, 0}, {20, 10}, {40, 20}}, "", ""},
      // The parents follow their profile's new number.
      {"show", chain, {"--renumber", "20=25,30=40"}, 0, {{10, 0}, {25, 10}, {40, 25}}, "", ""},
      {"show", chain, {"--renumber", "20=25", "--renumber", "30=40"}, 0, {{10, 0}, {25, 10}, {40, 25}}, "", ""},
      {"show", chain, {"--apps", "ACC10:ACCX9"}, 0, {{10, 0}, {20, 10}, {30, 20}}, "ACC10:ACCX9", ""},
      {"show", chain, {"--apps", "ACC10:ACCX9", "--renumber", "30=40"}, 0, {{10, 0}, {20, 10}, {40, 20}}, "ACC10:ACCX9",
       ""},
      // The pack's own number and the number it announces both name its
      // profile, a root (its bases' rules are folded into it).
      {"show", single, {"--target", "40"}, 0, {{40, 0}}, "", ""},
      {"show", single, {"--renumber", "30=41"}, 0, {{41, 0}}, "", ""},
      {"show", single, {"--renumber", "35=42"}, 0, {{42, 0}}, "", ""},
      {"show", single, {}, 0, {{35, 0}}, "", ""},
      {"verify", chain, {"--target", "40"}, 1, {}, "",
       "error 9122: A target given as a bare number renumbers a pack of one profile; this pack holds more: --target "
       "40: the pack holds profiles 10, 20, 30; --renumber OLD=NEW"},
      {"import", chain, {"--renumber", "31=40"}, 1, {}, "",
       "error 9121: The logic pack holds no profile of the number to renumber: --renumber 31=40: the pack holds "
       "profiles 10, 20, 30"},
      {"verify", chain, {"--apps", "ACC10:ACCX2,ACC10:ACCX2"}, 1, {}, "",
       "error 9123: The applications name neither one pair for every profile nor one pair per profile of the pack: "
       "--apps names 2 pairs; the pack holds 3 profiles (10, 20, 30)"},
      {"verify", chain, {"--renumber", "30-40"}, 2, {}, "", "kestrel verify: --renumber: 30-40 is not OLD=NEW"},
      {"verify", chain, {"--renumber", "30=40", "--renumber", "30=41"}, 2, {}, "",
       "kestrel verify: --renumber: profile 30 is renumbered twice"},
      {"verify", chain, {"--renumber", "30=0"}, 2, {}, "",
       "kestrel verify: --renumber: 30=0: 0 is not a profile number (1 to 32767)"},
      {"import", chain, {"--target", "40", "--target", "41"}, 2, {}, "",
       "kestrel import: --target: a bare profile number is the only --target"},
      {"show", chain, {"--apps", "ACC10"}, 2, {}, "", "kestrel show: --apps: ACC10 is not SRC:TGT"},
      {"show", chain, {"--apps", "ACC10:AC|X"}, 2, {}, "", "kestrel show: --apps: ACC10:AC|X is not SRC:TGT"},
      {"show", chain, {"--apps", ":ACCX2"}, 2, {}, "", "kestrel show: --apps: :ACCX2 is not SRC:TGT"},
      {"show", chain, {"--apps", "A:B", "--target", "40"}, 2, {}, "", "kestrel show: --target excludes --apps"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command + " " + ::testing::PrintToString(row.options));
    std::vector<std::string> args = {row.command, row.pack, "--store", demo.store, "--registry", demo.registry};
    if (row.exit_code == 0) args.push_back("--json");
    args.insert(args.end(), row.options.begin(), row.options.end());
    const RunResult r = RunKestrel(args);
    EXPECT_EQ(r.exit_code, row.exit_code) << r.err;
    EXPECT_THAT(r.err, StartsWith(row.err_start));
    if (row.exit_code != 0) continue;
    const Json targets = Json::parse(r.out).at("target");
    Numbers got;
    for (const Json& t : targets) {
      got.emplace_back(t.at("profile"), t.at("parent"));
      if (!row.applications.empty()) {
        EXPECT_EQ(t.at("source_application").get<std::string>() + ":" + t.at("target_application").get<std::string>(),
                  row.applications);
      }
    }
    EXPECT_EQ(got, row.targets);
    if (row.command == "verify") { EXPECT_EQ(Json::parse(r.out).at("passed"), true); }
  }
  // The import takes the renumbering: the pack's profile 30 arrives as 40
  // (30 stays), the one-profile pack's as 40 in a store without profiles.
  const Copies c = CopyDemo(demo.folder / "renumbered");
  const std::string empty = demo.folder / "renumbered/empty.db";
  ASSERT_EQ(RunKestrel({"init-store", empty, "--shared-from", c.store}).exit_code, 0);
  const struct {
    std::vector<std::string> args;
    std::string store;
    std::vector<int> listed;
  } imports[] = {{{chain, "--renumber", "30=40", "--replace"}, c.store, {10, 20, 30, 40}},
                 {{single, "--target", "40"}, empty, {40}}};
  for (const auto& row : imports) {
    std::vector<std::string> args = {"import", "--store", row.store, "--registry", c.registry, "--json"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    EXPECT_EQ(KestrelJson(args).at("imported").back().at("profile"), 40);
    const Json profiles = KestrelJson({"list", "--store", row.store, "--json"}).at("profiles");
    std::vector<int> listed;
    for (const Json& p : profiles) listed.push_back(p.at("profile"));
    EXPECT_EQ(listed, row.listed);
  }
}

// Stored Latin-1 texts (the demo's "Müller & Söhne") on a pipe, as on a
// terminal: UTF-8 when the locale the environment names is UTF-8, LC_ALL
// before LC_CTYPE before LANG, whether or not the machine has it; the stored
// bytes under any other locale or with --bytes.
TEST(ScriptingTest, StoredTextOnAPipeFollowsTheLocale) {
  const DemoPack& demo = SharedDemoPack();
  const std::string utf8 = "M\xc3\xbcller & S\xc3\xb6hne", bytes = "M\xfcller & S\xf6hne";
  using Env = std::map<std::string, std::optional<std::string>>;
  const Env none{{"LC_ALL", std::nullopt}, {"LC_CTYPE", std::nullopt}, {"LANG", std::nullopt}};
  auto with = [&](Env set) {
    set.insert(none.begin(), none.end());
    return set;
  };
  const struct {
    Env env;
    std::vector<std::string> extra;
    std::string shown;
  } rows[] = {
      {with({{"LC_ALL", "C.UTF-8"}}), {}, utf8},
      {with({{"LANG", "de_DE.UTF-8"}}), {}, utf8},
      {with({{"LC_CTYPE", "sv_SE.utf8@euro"}, {"LANG", "C"}}), {}, utf8},
      {with({{"LC_ALL", ""}, {"LC_CTYPE", "en_GB.utf8"}}), {}, utf8},
      {with({{"LC_ALL", "C"}, {"LANG", "de_DE.UTF-8"}}), {}, bytes},
      {with({{"LANG", "de_DE.ISO-8859-1"}}), {}, bytes},
      {with({{"LANG", "POSIX"}}), {}, bytes},
      {none, {}, bytes},
      {with({{"LC_ALL", "C.UTF-8"}}), {"--bytes"}, bytes},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.env) + ::testing::PrintToString(row.extra));
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"list", "--store", demo.store}, {"ls", demo.pack}}) {
      std::vector<std::string> args = command;
      args.insert(args.end(), row.extra.begin(), row.extra.end());
      const RunResult r = RunKestrel(args, row.env);
      ASSERT_EQ(r.exit_code, 0) << r.err;
      const bool list = command[0] == "list";
      EXPECT_THAT(r.out, HasSubstr("  Customer update for " + row.shown + (list ? "  " : "\n")));
      if (!list) continue;
      // Columns are as wide in characters as shown: the last one starts at
      // one place on the header's line and on every profile's.
      std::vector<size_t> starts;
      for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = r.out.substr(at, end - at);
        const size_t rules = std::min(line.find("Rules"), line.find("qzmap110="));
        ASSERT_NE(rules, std::string::npos) << line;
        starts.push_back(static_cast<size_t>(
            std::count_if(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(rules),
                          [&](char ch) { return row.shown == bytes || (static_cast<unsigned char>(ch) & 0xC0) != 0x80; })));
      }
      EXPECT_EQ(starts, std::vector<size_t>(4, starts.at(0))) << r.out;
    }
  }
}

// An application code typed in UTF-8 names the stored Latin-1 code where
// the locale is UTF-8, and is taken byte for byte elsewhere.
TEST(ScriptingTest, ApplicationCodesTypedFollowTheLocale) {
  const DemoPack& demo = SharedDemoPack();
  for (const auto& [locale, stored] : {std::pair<std::string, std::string>{"C.UTF-8", "ACCX\xdc"},
                                       {"C", "ACCX\xc3\x9c"}}) {
    SCOPED_TRACE(locale);
    const RunResult r = RunKestrel({"show", demo.pack, "--store", demo.store, "--apps", "ACC10:ACCX\xc3\x9c", "--raw"},
                                   {{"LC_ALL", locale}});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\r10*|ACC10*|" + stored + "|0*|0|1\x01"));
  }
}

// An application's extn is a number in JSON where its text is one a script can
// take as a whole number, and the text as it is otherwise.
TEST(ScriptingTest, ExtnsAreNumbersWhereTheirTextIsOne) {
  const std::pair<std::string, present::Json> rows[] = {
      {"1", 1}, {"-3", -3}, {"0", 0}, {"123456789012345678", 123456789012345678}, {"1x", "1x"}, {" 1", " 1"},
      {"", ""}, {"1234567890123456789", "1234567890123456789"}};
  for (const auto& [text, json] : rows) EXPECT_EQ(present::JsonNumberOrText(text), json) << text;
}

// The same fact has one name in every command's JSON, and a failure with
// --json is {"error": {"number", "description", "place"}} on stdout (one
// document), the exit code and stderr as without it.
TEST(ScriptingTest, OneJsonVocabularyAndFailuresAsJson) {
  const DemoPack& demo = SharedDemoPack();
  const Copies c = CopyDemo(demo.folder / "json-errors");
  fs::create_directories(demo.folder / "json-sync");
  const Json exported = KestrelJson({"export", "--store", demo.store, "--profile", "20", "--single", "--new-number",
                                     "25", "--sync", "--revisions", "--root", demo.folder / "json-sync", "--json"});
  const Json listed = KestrelJson({"ls", exported.at("pack"), "--json"});
  EXPECT_EQ(exported.at("for_sync"), true);
  for (const char* fact : {"pack", "new_profile_number", "for_sync", "revisions"})
    EXPECT_EQ(exported.at(fact), listed.at(fact)) << fact;

  const std::string damaged = c.pack + "/Qzmap120.dat";
  Prepend(damaged, "stray line\r\n");
  // Each fails with 1: the error's number, its description's start, its place.
  const std::pair<std::vector<std::string>, Json> rows[] = {
      {{"counts", "--store", c.pack + "/none.db"}, {53, "File not found: " + c.pack + "/none.db", nullptr}},
      {{"check", c.pack, "--store", c.store},
       {9051, "The pack's files differ from those its export listed in ExportMR.sums: " + damaged, Json{{"path", c.pack}}}},
      {{"import", demo.pack, "--store", c.store, "--registry", c.registry},
       {9030, "The import would delete and replace what the store holds", nullptr}},
      {{"verify", demo.pack, "--store", c.store, "--target", "50|ACC10|ACCX2|0|0|1"},
       {504, "The user selection is not complete.", nullptr}},
  };
  for (auto [args, expected] : rows) {
    SCOPED_TRACE(::testing::PrintToString(args));
    args.push_back("--json");
    const RunResult r = RunKestrel(args);
    EXPECT_EQ(r.exit_code, 1) << r.err;
    ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    const Json error = Json::parse(r.out).at("error");
    EXPECT_EQ(error.at("number"), expected[0]);
    EXPECT_THAT(error.at("description").get<std::string>(), StartsWith(expected[1].get<std::string>()));
    EXPECT_EQ(error.at("place"), expected[2]);
    // stderr says it as it does without --json.
    EXPECT_THAT(r.err, HasSubstr("error " + expected[0].dump() + ": "));
  }
}

}  // namespace
}  // namespace kestrel::testing
