// The build's writer of the manual pages and the bash completion, on text
// the command definitions and prose may hold: what roff would read as a
// request or an escape, options in running text, and names that would be
// bash code in the completion script.
#include <gmock/gmock.h>

#include <filesystem>
#include <string>
#include <vector>

#include "manual.h"
#include "support/run_kestrel.h"
#include "support/temp_folder.h"

namespace kestrel::manual {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(ManualTest, TextReachesRoffAsWritten) {
  const struct {
    std::string text, roff;
  } inline_rows[] = {
      {"`--store` wins", "\\fB\\-\\-store\\fR wins"},
      {"unless --single)", "unless \\fB\\-\\-single\\fR)"},
      {"(see -q)", "(see \\fB\\-q\\fR)"},
      {"read-only, -1 or x--y", "read-only, -1 or x--y"},
      {"C:\\packs", "C:\\epacks"},
      {".dat files", "\\&.dat files"},
      {"'quoted' first", "\\&'quoted' first"},
      {"an `unclosed quote", "an `unclosed quote"},
  };
  for (const auto& row : inline_rows) EXPECT_EQ(Inline(row.text), row.roff) << row.text;

  const struct {
    std::string markdown, roff;
  } block_rows[] = {
      {"One\nparagraph.\n\nTwo.\n", ".PP\nOne paragraph.\n.PP\nTwo.\n"},
      {"Typed:\n\n    kestrel ls -q \\\n    .hidden\n", ".PP\nTyped:\n.PP\n.RS 4\n.nf\nkestrel ls \\-q \\e\n\\&.hidden\n.fi\n.RE\n"},
      {"- `KESTREL_STORE`: the store\n  when none is given\n- plain item\n",
       ".TP\n\\fBKESTREL_STORE\\fR\nthe store when none is given\n.IP \\(bu 2\nplain item\n"},
  };
  for (const auto& row : block_rows) EXPECT_EQ(Blocks(row.markdown), row.roff) << row.markdown;

  EXPECT_EQ(Synopsis("kestrel export --profile NUMBER [OPTIONS] [STORE] PACK..."),
            "\\fBkestrel\\fR \\fBexport\\fR \\fB\\-\\-profile\\fR \\fINUMBER\\fR [\\fIOPTIONS\\fR] [\\fISTORE\\fR] "
            "\\fIPACK\\fR...");
}

TEST(ManualTest, CompletionTakesOnlyPlainWordsFromTheTree) {
  const Json tree = Json::parse(R"json({
    "name": "kestrel",
    "options": [{"names": ["-q", "--quiet"]}, {"names": ["-V", "--version"]}],
    "commands": [
      {"name": "diff", "options": [
         {"names": ["--color"], "value": "choice", "choices": ["auto", "always", "$(touch x)", "never"]},
         {"names": ["--store"], "value": "file"},
         {"names": ["--stat"]}],
       "arguments": [{"name": "A", "value": "path"}, {"name": "B", "value": "dir", "repeatable": true}]},
      {"name": "evil`id`", "options": [], "arguments": []}
    ]})json");
  const std::string script = CompletionTables(tree);
  EXPECT_THAT(script, HasSubstr("\"diff --color\") echo \"choice:auto always never\" ;;"));
  EXPECT_THAT(script, HasSubstr("\"diff --store\") echo \"file\" ;;"));
  EXPECT_THAT(script, Not(HasSubstr("--stat\")")));
  EXPECT_THAT(script, HasSubstr("diff) echo \"--color --store --stat -q --quiet\" ;;"));
  EXPECT_THAT(script, HasSubstr("\"diff 1\") echo \"path\" ;;"));
  EXPECT_THAT(script, HasSubstr("\"diff \"*) echo \"dir\" ;;"));
  EXPECT_THAT(script, HasSubstr("echo \"diff\"\n"));
  EXPECT_THAT(script, Not(HasSubstr("touch")));
  EXPECT_THAT(script, Not(HasSubstr("evil")));
}


// A command's page lists its own options, then those of the program it takes
// after its name: each once (an option of its own wins over the program's of
// that name), never --version, which only the program takes.
TEST(ManualTest, ACommandsPageListsTheProgramsOptionsItTakesOnce) {
  // In the shape `kestrel --describe` gives: every key present.
  const auto option = [](std::vector<std::string> names, const std::string& description) {
    return Json{{"names", names}, {"description", description}, {"placeholder", ""}, {"repeatable", false},
                {"required", false}};
  };
  const Json program{{"name", "kestrel"}, {"description", ""}, {"footer", ""}, {"usage", ""}, {"arguments", Json::array()},
                     {"commands", Json::array()},
                     {"options", {option({"-q", "--quiet"}, "say less"), option({"-v", "--verbose"}, "say more"),
                                  option({"--json"}, "the program's JSON"), option({"-V", "--version"}, "the version")}}};
  const Json command{{"name", "list"}, {"usage", "kestrel list"}, {"description", "List profiles"}, {"footer", ""},
                     {"group", ""}, {"arguments", Json::array()}, {"options", {option({"--json"}, "the command's JSON")}}};
  const std::string page = CommandPage(program, command, {}, {}, "1.0");
  const auto count = [&](const std::string& text) {
    size_t n = 0;
    for (size_t at = page.find(text); at != std::string::npos; at = page.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("\\fB\\-\\-quiet\\fR"), 1u) << page;
  EXPECT_EQ(count("\\fB\\-\\-verbose\\fR"), 1u) << page;
  EXPECT_EQ(count("\\fB\\-\\-json\\fR"), 1u) << page;
  EXPECT_THAT(page, HasSubstr("the command's JSON"));
  EXPECT_THAT(page, Not(HasSubstr("the program's JSON")));
  EXPECT_THAT(page, Not(HasSubstr("version")));
}

// The build's run of the writer: into a folder not there yet, every command's
// page and the completion with its tables; run again over a page of a
// command that is gone, that page goes.
TEST(ManualTest, TheWriterMakesEveryPageAndTheCompletionAfresh) {
  kestrel::testing::TempFolder t;
  const std::string bin = KESTREL_BIN_DIR, source = KESTREL_SOURCE_DIR, man = t / "share/man1",
                    completion = t / "kestrel.bash";
  const auto write = [&] {
    return kestrel::testing::RunProgram(bin + "/kestrel_manual",
                                        {bin + "/kestrel", "9.8.7", source + "/docs/man", man,
                                         source + "/src/cli/manual/completion.bash.in", completion});
  };
  auto r = write();
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const Json described = Json::parse(kestrel::testing::RunKestrel({"--describe"}).out);
  for (const auto& command : described.at("commands")) {
    const std::string page = man + "/kestrel-" + command.at("name").get<std::string>() + ".1";
    EXPECT_THAT(kestrel::testing::ReadFile(page), HasSubstr("9.8.7")) << page;
  }
  EXPECT_THAT(kestrel::testing::ReadFile(man + "/kestrel.1"), HasSubstr(".TH KESTREL 1"));
  const std::string script = kestrel::testing::ReadFile(completion);
  EXPECT_THAT(script, HasSubstr("_kestrel_profiles()"));
  EXPECT_THAT(script, HasSubstr("export) echo \""));
  EXPECT_THAT(script, Not(HasSubstr("@KESTREL_TABLES@")));
  kestrel::testing::WriteFile(man + "/kestrel-gone.1", ".TH KESTREL-GONE 1\n");
  r = write();
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_FALSE(std::filesystem::exists(man + "/kestrel-gone.1"));
  EXPECT_TRUE(std::filesystem::exists(man + "/kestrel-export.1"));
}

}  // namespace
}  // namespace kestrel::manual
