// The answer to a command line that cannot be run: one line naming what was
// wrong (and, for an unknown command or option, the nearest valid one), then
// where the help is; never the whole help. Also the order and groups the
// commands are listed in.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace kestrel::cli {

inline constexpr std::string_view kProgramName = "kestrel";

// The candidate nearest to `typed` by edit distance (letters compared without
// regard to case), or "" when none is near enough to be a likely slip: at
// most a third of the longer word's letters apart (at least 2), or a start
// of the candidate.
std::string Nearest(std::string_view typed, const std::vector<std::string>& candidates);

// A value typed for an option, as a usage error names it: "an empty value"
// for "", which would otherwise read as a double blank.
std::string TypedValue(std::string_view value);

// The two lines for a usage error `e` raised while parsing `argv` with `app`
// (the program's whole command line, the program's name left out).
std::string UsageMessage(const CLI::App& app, const std::vector<std::string>& args, const CLI::ParseError& e);

// The two lines for a word `typed` where `app`'s command was expected, as
// `who` (the program, or "kestrel help") says them: the word with the
// nearest command, then where the help is.
std::string UnknownCommandMessage(const CLI::App& app, std::string_view who, const std::string& typed);

// Where a command is listed in the help: its group and its place there.
// Commands not named here come last, in a group of their own.
struct CommandPlace {
  std::string group;
  int rank = 0;
};
CommandPlace PlaceOf(std::string_view command);

}  // namespace kestrel::cli
