// kestrel_manual: the build's writer of the manual pages and the bash
// completion, both from the command tree `kestrel --describe` prints (every
// command, option, placeholder and kind of value, as the program defines
// them) and, for the pages, the prose written for each command in
// docs/man/NAME.md. Nothing here lists an option by hand.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace kestrel::manual {

using Json = nlohmann::json;

// A string of the command tree; "" where the tree has none.
inline std::string Text(const Json& value) { return value.is_string() ? value.get<std::string>() : std::string(); }

// A prose file's sections by their "## HEADING", in the small part of
// Markdown the pages take: paragraphs, "- " items ("- `TERM`: text" for a
// term and its meaning), blocks indented by four spaces for commands typed,
// and `code` inside text.
using Prose = std::map<std::string, std::string>;
// The sections of the file, none when it does not exist.
Prose ReadProse(const std::filesystem::path& file);

// Code, names and paths for roff: every character as typed, hyphens that
// are neither broken at nor printed as dashes.
std::string Literal(std::string_view text);
// Text inside a paragraph for roff: backslashes and a leading dot made
// harmless, `code` and option names (--store) in bold with real hyphens.
std::string Inline(std::string_view text);
// Markdown (as above) as roff requests.
std::string Blocks(std::string_view markdown);
// A usage line ("kestrel export --profile NUMBER [OPTIONS]") with the
// program, command and options in bold and placeholders in italics.
std::string Synopsis(std::string_view usage);

// The page kestrel-NAME(1) of `command`, an entry of the tree's "commands";
// `program` is the whole tree, `own` the command's prose and `common` the
// program's (its EXIT STATUS and ENVIRONMENT serve every command that has
// none of its own).
std::string CommandPage(const Json& program, const Json& command, const Prose& own, const Prose& common,
                        const std::string& version);
// The page kestrel(1): the program's options, its commands by group, and
// the prose of `common`.
std::string ProgramPage(const Json& program, const Prose& common, const std::string& version);

// The bash functions the completion script asks what a command line may
// hold next: _kestrel_commands, _kestrel_options, _kestrel_value and
// _kestrel_argument (see completion.bash.in).
std::string CompletionTables(const Json& program);

}  // namespace kestrel::manual
