// What the command line says when a command fails: the error's number, a
// sentence of its own that names the file, folder, table, profile, store or
// server at fault, and a hint in its own words; never a text of the
// component that names its procedures or properties. And what a command that
// used to say nothing on success reports.
#include <gmock/gmock.h>

#include <filesystem>
#include <functional>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "cli/demo_pack.h"
#include "pack/sums.h"
#include "present/error_face.h"
#include "store/open.h"

namespace kestrel::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

// Texts of the component (and of the engine, for a host) that name what a
// command line user cannot set.
const char* const kForeignTexts[] = {"Suggession", "ShowLogicPackDetails", "Unspecified Error", "run it again",
                                     "Overwrite Option"};

struct Row {
  std::string name;
  std::function<void(const Copies&, const std::string& t)> prepare;  // nullptr: the copies as they are
  std::vector<std::string> args;  // {T}: the row's folder; {STORE}, {PACK}, {REGISTRY}: its copies
  int exit_code;
  std::string err_start;             // "error N: " and the sentence's start
  std::vector<std::string> err_has;  // the named object, the hint
};

void Execute(const std::string& store, const std::string& statement) { store::Open(store)->Execute(statement); }

const Row kRows[] = {
    {"a folder that is no pack, to ls", [](const Copies&, const std::string& t) { fs::create_directory(t + "/packs"); },
     {"ls", "{T}/packs"}, 1, "error 53: File not found: {T}/packs/ExportMR.log\n",
     {"\nhint: PACK must be a folder an export wrote"}},
    {"a folder that is no pack, to show", nullptr, {"show", "{T}", "--store", "{STORE}", "--registry", "{REGISTRY}"}, 1,
     "error 2: The folder {T} is not a logic pack: it has no ExportMR.log\n", {"\nhint: PACK must be a folder an export wrote"}},
    {"a pack folder that does not exist", nullptr, {"show", "{T}/none", "--store", "{STORE}", "--registry", "{REGISTRY}"}, 1,
     "error 1: The pack folder {T}/none does not exist\n", {"\nhint: PACK is the pack folder or archive file `kestrel export` printed"}},
    {"a file the manifest lists, missing",
     [](const Copies& c, const std::string&) {
       fs::remove(c.pack + "/Qzmap145.dat");
       pack::WriteSums(Env::Default(), c.pack);
     },
     {"verify", "{PACK}", "--store", "{STORE}", "--registry", "{REGISTRY}"}, 1,
     "error 5: The pack {PACK} lacks Qzmap145.dat, a file its manifest lists\n", {"\nhint: `kestrel ls PACK`"}},
    {"an SQLite file that is no profile store",
     [](const Copies&, const std::string& t) { store::Create(t + "/plain.db")->Execute("create table notes (line text)"); },
     {"list", "--store", "{T}/plain.db"}, 1,
     "error 9130: The store is not a profile store (it has no table qzmap100): {T}/plain.db\n", {"\nhint: `kestrel init-store FILE`"}},
    {"an SQLite file that is no profile store, to verify against",
     [](const Copies&, const std::string& t) { store::Create(t + "/plain.db")->Execute("create table notes (line text)"); },
     {"verify", "{PACK}", "--store", "{T}/plain.db", "--registry", "{REGISTRY}"}, 1, "error 9130: ", {"{T}/plain.db\n"}},
    {"an SQLite file that is no profile store, one side of a diff",
     [](const Copies&, const std::string& t) { store::Create(t + "/plain.db")->Execute("create table notes (line text)"); },
     // (diff's trouble is 2: 1 says the sides differ)
     {"diff", "{STORE}:30", "{T}/plain.db:30"}, 2, "error 9130: ", {"{T}/plain.db\n"}},
    {"a parent the store does not hold", nullptr,
     {"depth", "--store", "{STORE}", "--parent", "99", "--registry", "{REGISTRY}"}, 1,
     "error 9131: The store holds no profile of this number: 99\nwhere: {STORE}\n", {"`kestrel list"}},
    {"a profile the store does not hold, to export", nullptr, {"export", "--store", "{STORE}", "--profile", "77", "--root", "{T}"},
     1, "error 2: The store holds no profile 77\nhint: `kestrel list --store STORE` lists the profiles it holds\n", {}},
    {"a pack that is there already",
     [](const Copies&, const std::string& t) { fs::create_directories(t + "/ExportedRules/30-ACC10-ACCX2-M"); },
     {"export", "--store", "{STORE}", "--profile", "30", "--root", "{T}"}, 1,
     "error 3: The pack {T}/ExportedRules/30-ACC10-ACCX2-M exists already\nhint: add --overwrite to replace it\n", {}},
    {"an export root that does not exist", nullptr, {"export", "--store", "{STORE}", "--profile", "30", "--root", "{T}/none"}, 1,
     "error 1: The export root {T}/none does not exist\nhint: create it, or name another with --root", {}},
    {"an import that would replace stored profiles", nullptr, {"import", "{PACK}", "--store", "{STORE}", "--registry", "{REGISTRY}"},
     1,
     "error 9030: The import would delete and replace what the store holds: the store holds profile 10, profile 20, "
     "profile 30, application ACC10, application ACCX2\n",
     {"\nhint: add --replace to delete and replace them"}},
    {"shared functions without their file",
     [](const Copies& c, const std::string&) {
       fs::remove(c.pack + "/Qzmap150.dat");
       pack::WriteSums(Env::Default(), c.pack);
     },
     {"load-functions", "{PACK}", "--store", "{STORE}", "--registry", "{REGISTRY}"}, 1,
     "error 899: File not found: {PACK}/Qzmap150.dat\n", {}},
    {"a server that does not answer", nullptr, {"counts", "--store", "postgresql://kestrel@/profiles?host={T}"}, 1,
     "error 100663808 (SQLSTATE 08006): ", {": postgresql://kestrel@/profiles?host={T}\n", "\nhint: is the server running"}},
};

TEST(ErrorsNamedTest, EachFailureNamesItsObjectInTheCommandLinesWords) {
  const DemoPack& demo = SharedDemoPack();
  int n = 0;
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    const std::string t = demo.folder / ("named" + std::to_string(n++));
    const Copies c = CopyDemo(t);
    if (row.prepare) row.prepare(c, t);
    auto expand = [&](std::string s) {
      for (const auto& [from, to] : {std::pair<std::string, std::string>{"{STORE}", c.store}, {"{PACK}", c.pack},
                                     {"{REGISTRY}", c.registry}, {"{T}", t}})
        for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
      return s;
    };
    std::vector<std::string> args;
    for (const auto& a : row.args) args.push_back(expand(a));
    const RunResult r = RunKestrel(args);
    EXPECT_EQ(r.exit_code, row.exit_code) << r.err;
    EXPECT_THAT(r.err, ::testing::StartsWith(expand(row.err_start)));
    for (const auto& fragment : row.err_has) EXPECT_THAT(r.err, HasSubstr(expand(fragment)));
    for (const char* foreign : kForeignTexts) EXPECT_THAT(r.err, Not(HasSubstr(foreign)));
  }
}

// load-functions says what it loaded: the functions of the pack, those it
// added, those the store held already (and kept); the same as JSON.
TEST(ErrorsNamedTest, LoadFunctionsReportsWhatItLoaded) {
  const DemoPack& demo = SharedDemoPack();
  const std::string t = demo.folder / "loaded";
  const Copies c = CopyDemo(t);
  const int64_t functions = store::Open(c.store)->OpenRecordset("select count(*) from qzmap150")->Fields(0).Integer();
  ASSERT_GT(functions, 2);
  Execute(c.store, "delete from qzmap150 where func in (select func from qzmap150 order by func limit 2)");
  const RunResult text = RunKestrel({"load-functions", c.pack, "--store", c.store, "--registry", c.registry});
  EXPECT_EQ(text.exit_code, 0) << text.err;
  EXPECT_EQ(text.out, fmt::format("2 of the {} shared functions of {}/Qzmap150.dat added to {}; {} the store held "
                                  "already stay as they are\n",
                                  functions, c.pack, c.store, functions - 2));
  const RunResult again = RunKestrel({"load-functions", c.pack, "--store", c.store, "--registry", c.registry, "--json"});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  const nlohmann::json json = nlohmann::json::parse(again.out);
  EXPECT_EQ(json["functions"], functions);
  EXPECT_EQ(json["added"], 0);
  EXPECT_EQ(json["held_already"], functions);
  EXPECT_EQ(json["file"], "Qzmap150.dat");
}

// The web wizard's words for the same failures: its own sentence and hint,
// with nothing of the command line (an option, a command, a placeholder)
// nor of the component's texts; a server failure keeps its SQLSTATE apart,
// the error's own text stays in the answer's description for scripts.
const char* const kNotForThePage[] = {"--", "`", "kestrel ", "PACK", "STORE", "Suggession", "ShowLogicPackDetails"};

TEST(ErrorsNamedTest, TheWizardSaysItInItsOwnWords) {
  Place pack;
  pack.path = "/srv/packs/ExportedRules/30-ACC10-ACCX2-M";
  const struct {
    Error error;
    std::string sentence;
  } rows[] = {
      {Error(3, "Error : Migration Profile Already Exported\r\nSuggession : Set Overwrite Option to True", pack),
       "A pack of this profile with these options is already in the export root."},
      {Error(9030, "The import would delete and replace what the store holds: the store holds profile 30, "
                   "application ACC10"),
       "The import would delete and replace what the store holds (profile 30, application ACC10), which was not "
       "confirmed. Nothing was imported."},
      {Error(9053, "The logic pack has no ExportMR.sums: its integrity cannot be checked: /srv/p", pack),
       "The logic pack has no ExportMR.sums: its integrity cannot be checked: /srv/p"},
      {Error(2, "ShowLogicPackDetails - Log File Missing ExportMR.log", pack),
       "The folder /srv/packs/ExportedRules/30-ACC10-ACCX2-M is not a logic pack: it has no ExportMR.log"},
      {Error(899, TrapHead::Import, "LoadToMAP150", Error(53, "File not found", pack)),
       "File not found: /srv/packs/ExportedRules/30-ACC10-ACCX2-M"},
      {Error(100, "Import Migration Profile - qzddi100.dat file is not having enough data or file is corrupted"),
       "The pack file qzddi100.dat is cut short or damaged"},
      {Error(100663808, "could not connect to server (SQLSTATE 08006): postgresql://db/profiles"),
       "could not connect to server: postgresql://db/profiles"},
      // The wizard's access checks, and a file the system may not write:
      // only the first is about the page.
      {Error(70, "Permission denied: the wizard's calls need the token that kestrel serve printed"),
       "This page has no access to the wizard."},
      {Error(70, "Permission denied", pack), "Permission denied: /srv/packs/ExportedRules/30-ACC10-ACCX2-M"},
      // A host that gives no place: the sentence without it.
      {Error(3, "ShowLogicPackDetails - Exported Objects are incorrect"),
       "The export that wrote the pack failed: its manifest begins with ERRORS"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.error.description());
    const present::Said said = present::Say(row.error, present::Face::Web);
    EXPECT_EQ(said.number, row.error.number());
    EXPECT_EQ(said.sentence, row.sentence);
    for (const std::string& text : {said.sentence, said.hint})
      for (const char* foreign : kNotForThePage) EXPECT_THAT(text, Not(HasSubstr(foreign)));
  }
  const present::Said server = present::Say(rows[6].error, present::Face::Web);
  EXPECT_EQ(present::SaidJson(server, present::Face::Web).dump(),
            R"({"error":{"number":100663808,"description":"could not connect to server (SQLSTATE 08006): )"
            R"(postgresql://db/profiles","sentence":"could not connect to server: postgresql://db/profiles",)"
            R"("hint":"The store's server cannot be reached: is it running?","sqlstate":"08006","place":null}})");
  // Every fixed text the table gives the web, whichever error it is for.
  for (const std::string_view text : present::FixedTexts(present::Face::Web))
    for (const char* foreign : kNotForThePage) EXPECT_THAT(std::string(text), Not(HasSubstr(foreign)));
}

}  // namespace
}  // namespace kestrel::testing
