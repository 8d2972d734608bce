// What a command that used to say nothing on success reports, and the web
// wizard's own words for a failure: a sentence that names the file, folder,
// table, profile, store or server at fault, and a hint, never a text of the
// component nor of the command line. (The command line's own words for its
// failures are checked in commands_test.cpp.)
#include <gmock/gmock.h>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "cli/demo_pack.h"
#include "present/error_face.h"
#include "store/open.h"

namespace kestrel::testing {
namespace {

using ::testing::Not;

// load-functions says what it loaded: the functions of the pack, those it
// added, those the store held already (and kept); the same as JSON.
TEST(ErrorsNamedTest, LoadFunctionsReportsWhatItLoaded) {
  const DemoPack& demo = SharedDemoPack();
  const std::string t = demo.folder / "loaded";
  const Copies c = CopyDemo(t);
  const int64_t functions = store::Open(c.store)->OpenRecordset("select count(*) from qzmap150")->Fields(0).Integer();
  ASSERT_GT(functions, 2);
  store::Open(c.store)->Execute("delete from qzmap150 where func in (select func from qzmap150 order by func limit 2)");
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
  // What the sentence names already is not said again beside it.
  Place row;
  row.file = "Qzmap120.dat";
  row.line = 7;
  row.table = "qzmap120";
  for (const auto& [text, beside] : {std::pair{"UNIQUE constraint failed: table qzmap120", "Qzmap120.dat line 7"},
                                     std::pair{"UNIQUE constraint failed", "Qzmap120.dat line 7, table qzmap120"},
                                     std::pair{"a bad value: Qzmap120.dat line 7, table qzmap120", ""}})
    EXPECT_EQ(present::Say(Error(2067, text, row), present::Face::Web).beside.Text(), beside) << text;
  // Every fixed text the table gives the web, whichever error it is for.
  for (const std::string_view text : present::FixedTexts(present::Face::Web))
    for (const char* foreign : kNotForThePage) EXPECT_THAT(std::string(text), Not(HasSubstr(foreign)));
}

}  // namespace
}  // namespace kestrel::testing
