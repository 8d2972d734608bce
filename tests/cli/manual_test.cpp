// The build's writer of the manual pages and the bash completion, on text
// the command definitions and prose may hold: what roff would read as a
// request or an escape, options in running text, and names that would be
// bash code in the completion script.
#include <gmock/gmock.h>

#include "manual.h"

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

}  // namespace
}  // namespace kestrel::manual
