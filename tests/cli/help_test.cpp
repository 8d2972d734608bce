// The help and the manual pages, both made from the command definitions
// (`kestrel --describe`, which the build writes the pages from): every
// command's help is also `kestrel help COMMAND`, neither the help nor a page
// shows the option parser's type names and check texts, and every command
// has a page with every section and every option it takes.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "support/run_kestrel.h"

namespace kestrel::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Json = nlohmann::json;

// What the option parser writes of its own into a help: its type names, the
// texts of its checks and the relations between options.
const std::vector<std::string> kParserNoise = {"TEXT",      " INT",     "FLOAT",   "UINT",       "Excludes:",
                                               "Needs:",    "REQUIRED", " in [",   "not in range", "1797693",
                                               "Positionals:", "SUBCOMMAND"};

Json CommandTree() {
  const RunResult r = RunKestrel({"--describe"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  return Json::parse(r.out);
}

// A command's options as the help names them ("-h,--help") and its arguments.
std::vector<std::string> OptionNames(const Json& command) {
  std::vector<std::string> names;
  for (const auto& o : command["options"]) {
    std::string joined;
    for (const auto& n : o["names"]) joined += (joined.empty() ? "" : ",") + n.get<std::string>();
    names.push_back(joined);
  }
  for (const auto& a : command["arguments"]) names.push_back(a["name"].get<std::string>());
  return names;
}

TEST(HelpTest, EveryCommandsHelpIsItsHelpCommandWithoutTheParsersNoise) {
  const Json tree = CommandTree();
  ASSERT_GE(tree["commands"].size(), 16u);
  const RunResult program = RunKestrel({"--help"});
  EXPECT_EQ(RunKestrel({"help"}).out, program.out);
  for (const auto& noise : kParserNoise) EXPECT_THAT(program.out, Not(HasSubstr(noise)));
  for (const auto& c : tree["commands"]) {
    const std::string name = c["name"].get<std::string>();
    const RunResult r = RunKestrel({name, "--help"});
    EXPECT_EQ(r.exit_code, 0) << name;
    EXPECT_EQ(r.err, "") << name;
    EXPECT_THAT(program.out, HasSubstr("\n  " + name + " ")) << name;
    for (const auto& noise : kParserNoise) EXPECT_THAT(r.out, Not(HasSubstr(noise))) << name;
    for (const auto& option : OptionNames(c)) EXPECT_THAT(r.out, HasSubstr("  " + option)) << name;
    const RunResult help = RunKestrel({"help", name});
    EXPECT_EQ(help.exit_code, 0) << name;
    EXPECT_EQ(help.out, r.out) << name;
  }
}

// The text of a page's section: from its heading to the next.
std::string SectionOf(const std::string& page, const std::string& heading) {
  const std::string start = ".SH \"" + heading + "\"\n";
  const size_t at = page.find(start);
  if (at == std::string::npos) return "";
  const size_t body = at + start.size(), next = page.find("\n.SH ", body);
  return page.substr(body, next == std::string::npos ? std::string::npos : next + 1 - body);
}

// An option's names as the page sets them, its hyphens roff's ("-h,--help"
// as "\-h\fR, \fB\-\-help").
std::string AsRoff(const std::string& names) {
  std::string out;
  for (char c : names) out += c == '-' ? std::string("\\-") : c == ',' ? std::string("\\fR, \\fB") : std::string(1, c);
  return out;
}

TEST(HelpTest, EveryCommandHasAManualPageWithEverySectionAndOption) {
  const Json tree = CommandTree();
  const std::filesystem::path man = std::filesystem::path(KESTREL_BIN_DIR) / "man";
  const std::string program_page = ReadFile(man / "kestrel.1");
  const bool groff = std::filesystem::exists("/usr/bin/groff");
  for (const auto& c : tree["commands"]) {
    const std::string name = c["name"].get<std::string>();
    const std::filesystem::path file = man / ("kestrel-" + name + ".1");
    const std::string page = ReadFile(file);
    ASSERT_FALSE(page.empty()) << file;
    for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "ENVIRONMENT", "EXAMPLES"})
      EXPECT_THAT(SectionOf(page, section), HasSubstr("\n")) << file << ": no " << section;
    for (const auto& option : OptionNames(c)) EXPECT_THAT(SectionOf(page, "OPTIONS"), HasSubstr(AsRoff(option))) << file;
    for (const auto& noise : kParserNoise) EXPECT_THAT(page, Not(HasSubstr(noise))) << file;
    // Every variable a page names is explained, by its own prose or the program's.
    EXPECT_THAT(SectionOf(page, "ENVIRONMENT"), Not(HasSubstr("as the options above say"))) << file;
    EXPECT_THAT(SectionOf(program_page, "SEE ALSO"), HasSubstr(AsRoff("kestrel-" + name))) << name;
    // groff warns of what it cannot set as written (-ww: every warning).
    if (groff) {
      const RunResult lint = RunProgram("/usr/bin/groff", {"-man", "-ww", "-z", file.string()});
      EXPECT_EQ(lint.exit_code, 0) << file;
      EXPECT_EQ(lint.err, "") << file;
    }
  }
  for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "COMMANDS", "OPTIONS", "EXIT STATUS", "ENVIRONMENT",
                              "EXAMPLES"})
    EXPECT_THAT(SectionOf(program_page, section), HasSubstr("\n")) << "kestrel.1: no " << section;
  // diff exits as diff(1) does: 1 says the sides differ, trouble is 2.
  const std::string diff = ReadFile(man / "kestrel-diff.1");
  EXPECT_THAT(SectionOf(diff, "EXIT STATUS"), HasSubstr("they differ"));
  EXPECT_THAT(SectionOf(diff, "EXIT STATUS"), HasSubstr("trouble"));
  EXPECT_THAT(SectionOf(diff, "ENVIRONMENT"), HasSubstr("\\fBNO_COLOR\\fR"));
}

}  // namespace
}  // namespace kestrel::testing
