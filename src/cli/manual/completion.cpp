// The tables of the bash completion: bash functions that answer, from the
// command tree, which commands there are, which options a command takes and
// what kind of value an option or argument takes.
#include <cctype>
#include <set>
#include <vector>

#include "manual.h"

namespace kestrel::manual {
namespace {

// A word bash reads as itself inside double quotes; the tree's names and
// choices are plain words, anything else is dropped rather than run.
bool Plain(const std::string& word) {
  if (word.empty()) return false;
  for (char c : word)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == ':' || c == '=' ||
          c == ','))
      return false;
  return true;
}

std::string Words(const std::vector<std::string>& words) {
  std::string out;
  for (const auto& w : words)
    if (Plain(w)) out += (out.empty() ? "" : " ") + w;
  return out;
}

// "file", "dir", "path", "profile", "command", "choice:a b c", or "any" for
// a value of its own kind (a number of seconds, an address).
std::string KindWord(const Json& option) {
  const std::string kind = Text(option["value"]);
  if (kind == "choice") {
    std::vector<std::string> choices;
    for (const auto& c : option["choices"]) choices.push_back(Text(c));
    return "choice:" + Words(choices);
  }
  return kind.empty() ? "any" : kind;
}

std::vector<std::string> Names(const Json& options) {
  std::vector<std::string> names;
  for (const auto& o : options)
    for (const auto& n : o["names"]) names.push_back(Text(n));
  return names;
}

}  // namespace

std::string CompletionTables(const Json& program) {
  std::vector<std::string> commands;
  for (const auto& c : program["commands"]) commands.push_back(Text(c["name"]));
  std::string out = "_kestrel_commands() {\n  echo \"" + Words(commands) + "\"\n}\n\n";

  // A command takes the program's options after its name, too (but for
  // --version, which is the program's alone).
  std::vector<std::string> program_options = Names(program["options"]);
  out += "_kestrel_options() {\n  case $1 in\n    \"\") echo \"" + Words(program_options) + "\" ;;\n";
  std::string values, arguments;
  for (const auto& c : program["commands"]) {
    const std::string name = Text(c["name"]);
    if (!Plain(name)) continue;
    std::vector<std::string> names = Names(c["options"]);
    const std::set<std::string> own(names.begin(), names.end());
    for (const auto& n : program_options)
      if (!own.count(n) && n != "--version" && n != "-V") names.push_back(n);
    out += "    " + name + ") echo \"" + Words(names) + "\" ;;\n";
    for (const auto& o : c["options"])
      if (o.contains("value"))
        for (const auto& n : o["names"])
          if (Plain(Text(n))) values += "    \"" + name + " " + Text(n) + "\") echo \"" + KindWord(o) + "\" ;;\n";
    int position = 0;
    for (const auto& a : c["arguments"]) {
      ++position;
      // A repeatable argument takes every place from its own on.
      const std::string place = a.value("repeatable", false) ? "\"*)" : std::to_string(position) + "\")";
      arguments += "    \"" + name + " " + place + " echo \"" + KindWord(a) + "\" ;;\n";
    }
  }
  out += "  esac\n}\n\n";
  out += "_kestrel_value() {\n  case \"$1 $2\" in\n" + values + "  esac\n}\n\n";
  out += "_kestrel_argument() {\n  case \"$1 $2\" in\n" + arguments + "  esac\n}\n";
  return out;
}

}  // namespace kestrel::manual
