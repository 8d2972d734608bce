// The help and the manual pages, both made from the command definitions
// (`kestrel --describe`, which the build writes the pages from): every
// command's help is also `kestrel help COMMAND`, neither the help nor a page
// shows the option parser's type names and check texts, and every command
// has a page with every section and every option it takes. Then the build's
// writer of those pages and of the bash completion, on text the definitions
// and prose may hold: what roff would read as a request or an escape, options
// in running text, and names that would be bash code in the completion.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/demo_pack.h"
#include "manual.h"

namespace kestrel::testing {
namespace {

using ::testing::Not;
using namespace kestrel::manual;  // the page and completion writers the build runs

// What the option parser writes of its own into a help: its type names, the
// texts of its checks and the relations between options.
const std::vector<std::string> kParserNoise = {"TEXT",      " INT",     "FLOAT",   "UINT",       "Excludes:",
                                               "Needs:",    "REQUIRED", " in [",   "not in range", "1797693",
                                               "Positionals:", "SUBCOMMAND"};

// An option as the help names it ("-h,--help").
std::string NamesOf(const Json& option) {
  std::string joined;
  for (const auto& n : option["names"]) joined += (joined.empty() ? "" : ",") + n.get<std::string>();
  return joined;
}

// The text of a page's section: from its heading to the next.
std::string SectionOf(const std::string& page, const std::string& heading) {
  const std::string start = ".SH \"" + heading + "\"\n";
  const size_t at = page.find(start);
  if (at == std::string::npos) return "";
  const size_t body = at + start.size(), next = page.find("\n.SH ", body);
  return page.substr(body, next == std::string::npos ? std::string::npos : next + 1 - body);
}

// An option's names as the page sets them, its hyphens roff's ("-h,--help" as "\-h\fR, \fB\-\-help").
std::string AsRoff(const std::string& names) {
  std::string out;
  for (char c : names) out += c == '-' ? std::string("\\-") : c == ',' ? std::string("\\fR, \\fB") : std::string(1, c);
  return out;
}

// One walk over the commands for both: each command's help, alike from
// `kestrel COMMAND --help` and `kestrel help COMMAND`, and its page.
TEST(HelpTest, EveryCommandsHelpAndManualPageShowEveryOptionWithoutTheParsersNoise) {
  const Json tree = KestrelJson({"--describe"});
  ASSERT_GE(tree["commands"].size(), 16u);
  const RunResult program = RunKestrel({"--help"});
  EXPECT_EQ(RunKestrel({"help"}).out, program.out);
  for (const auto& noise : kParserNoise) EXPECT_THAT(program.out, Not(HasSubstr(noise)));
  const std::filesystem::path man = std::filesystem::path(KESTREL_BIN_DIR) / "man";
  const std::string program_page = ReadFile(man / "kestrel.1");
  const bool groff = std::filesystem::exists("/usr/bin/groff");
  const std::vector<std::string> sections = {"NAME",        "SYNOPSIS",    "DESCRIPTION", "OPTIONS",
                                             "EXIT STATUS", "ENVIRONMENT", "EXAMPLES"};
  for (const auto& c : tree["commands"]) {
    const std::string name = c["name"].get<std::string>();
    SCOPED_TRACE(name);
    const RunResult r = RunKestrel({name, "--help"}), help = RunKestrel({"help", name});
    EXPECT_EQ(std::make_tuple(r.exit_code, r.err, help.exit_code), std::make_tuple(0, std::string(), 0));
    EXPECT_EQ(help.out, r.out);
    EXPECT_THAT(program.out, HasSubstr("\n  " + name + " "));
    const std::filesystem::path file = man / ("kestrel-" + name + ".1");
    const std::string page = ReadFile(file), options = SectionOf(page, "OPTIONS"),
                      environment = SectionOf(page, "ENVIRONMENT");
    ASSERT_FALSE(page.empty()) << file;
    for (const auto& section : sections) EXPECT_THAT(SectionOf(page, section), HasSubstr("\n")) << "no " << section;
    // Each option in the help, and its entry on the page: the names, the
    // placeholder, "..." for an option given again and again.
    for (const auto& o : c["options"]) {
      EXPECT_THAT(r.out, HasSubstr("  " + NamesOf(o)));
      std::string tag = "\\fB" + AsRoff(NamesOf(o)) + "\\fR";
      if (const std::string placeholder = o.value("placeholder", ""); !placeholder.empty())
        tag += " \\fI" + placeholder + "\\fR";
      if (o.value("repeatable", false)) tag += " ...";
      EXPECT_THAT(options, HasSubstr(".TP\n" + tag + "\n"));
    }
    for (const auto& a : c["arguments"]) {
      EXPECT_THAT(r.out, HasSubstr("  " + a["name"].get<std::string>()));
      EXPECT_THAT(options, HasSubstr(".TP\n\\fI" + a["name"].get<std::string>() + "\\fR\n"));
    }
    for (const auto& noise : kParserNoise) EXPECT_THAT(r.out + page, Not(HasSubstr(noise)));
    // Every variable a page names is explained, by its own prose or the
    // program's; each one's meaning ends where the next one's item begins.
    EXPECT_THAT(environment, Not(HasSubstr("as the options above say")));
    EXPECT_THAT(environment, Not(HasSubstr("- \\fB")));
    EXPECT_THAT(SectionOf(program_page, "SEE ALSO"), HasSubstr(AsRoff("kestrel-" + name)));
    // The program's page lists each command once, under its group's heading.
    const std::string commands = SectionOf(program_page, "COMMANDS"), entry = ".TP\n\\fB" + name + "\\fR\n";
    const size_t group = commands.find(".SS \"" + c["group"].get<std::string>() + "\"\n");
    EXPECT_LT(commands.find(entry, group), commands.find(".SS", group + 1));
    EXPECT_EQ(commands.find(entry), commands.rfind(entry));
    // groff warns of what it cannot set as written (-ww: every warning).
    if (groff) {
      const RunResult lint = RunProgram("/usr/bin/groff", {"-man", "-ww", "-z", file.string()});
      EXPECT_EQ(std::make_pair(lint.exit_code, lint.err), std::make_pair(0, std::string()));
    }
  }
  // (Its COMMANDS section the walk above has read.)
  for (const auto& section : sections)
    EXPECT_THAT(SectionOf(program_page, section), HasSubstr("\n")) << "kestrel.1: no " << section;
  // diff exits as diff(1) does: 1 says the sides differ, trouble is 2.
  const std::string diff = ReadFile(man / "kestrel-diff.1");
  for (const char* said : {"they differ", "trouble"}) EXPECT_THAT(SectionOf(diff, "EXIT STATUS"), HasSubstr(said));
  EXPECT_THAT(SectionOf(diff, "ENVIRONMENT"), HasSubstr("\\fBNO_COLOR\\fR"));
  // Its prose's other commands, beside the program.
  EXPECT_EQ(SectionOf(diff, "SEE ALSO"), ".PP\n\\fBkestrel\\fR(1),\n\\fBkestrel\\-show\\fR(1),\n\\fBkestrel\\-export\\fR(1)\n");
}

TEST(ManualTest, TextReachesRoffAsWritten) {
  const struct {
    std::string text, roff;
  } inline_rows[] = {
      {"`--store` wins", "\\fB\\-\\-store\\fR wins"}, {"unless --single)", "unless \\fB\\-\\-single\\fR)"},
      {"(see -q)", "(see \\fB\\-q\\fR)"}, {"a line\n--single", "a line\n\\fB\\-\\-single\\fR"},
      {"read-only, -1 or x--y", "read-only, -1 or x--y"}, {"C:\\packs", "C:\\epacks"},
      {".dat files", "\\&.dat files"}, {"'quoted' first", "\\&'quoted' first"},
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

  EXPECT_EQ(Synopsis("kestrel export --profile NUMBER [OPTIONS] [STORE] PACK... [FILE ...]"),
            "\\fBkestrel\\fR \\fBexport\\fR \\fB\\-\\-profile\\fR \\fINUMBER\\fR [\\fIOPTIONS\\fR] [\\fISTORE\\fR] "
            "\\fIPACK\\fR... [\\fIFILE\\fR ...]");
}

TEST(ManualTest, CompletionTakesOnlyPlainWordsFromTheTree) {
  const Json tree = Json::parse(R"json({
    "name": "kestrel",
    "options": [{"names": ["-q", "--quiet"]}, {"names": ["-V", "--version"]}],
    "commands": [
      {"name": "diff", "options": [
         {"names": ["--color"], "value": "choice", "choices": ["auto", "always", "", "$(touch x)", "never", "on:tty", "256=colors", "16,8"]},
         {"names": ["--store"], "value": "file"},
         {"names": ["--stat"]}],
       "arguments": [{"name": "A", "value": "path"}, {"name": "B", "value": "dir", "repeatable": true}]},
      {"name": "evil`id`", "options": [], "arguments": []}
    ]})json");
  const std::string script = CompletionTables(tree);
  for (const char* line : {"\"diff --color\") echo \"choice:auto always never on:tty 256=colors 16,8\" ;;",
                           "\"diff --store\") echo \"file\" ;;", "diff) echo \"--color --store --stat -q --quiet\" ;;",
                           "\"diff 1\") echo \"path\" ;;", "\"diff \"*) echo \"dir\" ;;", "echo \"diff\"\n"})
    EXPECT_THAT(script, HasSubstr(line));
  // A flag takes no value, and a choice or name that is no plain word (an empty one too) is left out.
  for (const char* left_out : {"--stat\")", "touch", "evil"}) EXPECT_THAT(script, Not(HasSubstr(left_out)));
}

// A command's page lists its own options, then those of the program it takes after its name: each once (an option
// of its own wins over the program's of that name), never --version, which only the program takes.
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
  for (const char* name : {"quiet", "verbose", "json"})
    EXPECT_EQ(Count(page, std::string("\\fB\\-\\-") + name + "\\fR"), 1u) << page;
  EXPECT_THAT(page, HasSubstr("the command's JSON"));
  for (const char* left_out : {"the program's JSON", "version"}) EXPECT_THAT(page, Not(HasSubstr(left_out)));
}

// The build's run of the writer: into a folder not there yet, every command's page and the completion with its
// tables; run again over a page of a command that is gone, that page goes.
TEST(ManualTest, TheWriterMakesEveryPageAndTheCompletionAfresh) {
  TempFolder t;
  const std::string bin = KESTREL_BIN_DIR, source = KESTREL_SOURCE_DIR, man = t / "share/man1",
                    completion = t / "kestrel.bash";
  const auto write = [&] {
    const RunResult r = RunProgram(bin + "/kestrel_manual", {bin + "/kestrel", "9.8.7", source + "/docs/man", man,
                                                             source + "/src/cli/manual/completion.bash.in", completion});
    EXPECT_EQ(r.exit_code, 0) << r.err;
  };
  write();
  const Json described = KestrelJson({"--describe"});
  for (const auto& command : described.at("commands")) {
    const std::string page = man + "/kestrel-" + command.at("name").get<std::string>() + ".1";
    EXPECT_THAT(ReadFile(page), HasSubstr("9.8.7")) << page;
  }
  EXPECT_THAT(ReadFile(man + "/kestrel.1"), HasSubstr(".TH KESTREL 1"));
  const std::string script = ReadFile(completion);
  for (const char* part : {"_kestrel_profiles()", "export) echo \""}) EXPECT_THAT(script, HasSubstr(part));
  EXPECT_THAT(script, Not(HasSubstr("@KESTREL_TABLES@")));
  WriteFile(man + "/kestrel-gone.1", ".TH KESTREL-GONE 1\n");
  write();
  EXPECT_FALSE(std::filesystem::exists(man + "/kestrel-gone.1"));
  EXPECT_TRUE(std::filesystem::exists(man + "/kestrel-export.1"));
}

}  // namespace
}  // namespace kestrel::testing
