// The manual pages: kestrel(1) and kestrel-NAME(1) for every command, with
// NAME, SYNOPSIS, DESCRIPTION, OPTIONS, EXIT STATUS, ENVIRONMENT, EXAMPLES
// and SEE ALSO.
#include <algorithm>
#include <cctype>
#include <regex>
#include <set>
#include <vector>

#include "manual.h"

namespace kestrel::manual {
namespace {

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

std::string Header(const std::string& page, const std::string& version) {
  // No word is hyphenated: most are names, paths and options.
  return ".TH " + Upper(page) + " 1 \"\" \"kestrel " + version + "\" \"Kestrel Manual\"\n.nh\n";
}

std::string Section(const std::string& heading, const std::string& body) {
  return ".SH \"" + heading + "\"\n" + body;
}

// An option or argument as a tagged paragraph: its names and placeholder,
// then its description.
std::string OptionEntry(const Json& option) {
  std::string tag;
  if (option.contains("names")) {
    // Inline sets an option's name in bold.
    for (const auto& name : option["names"]) tag += (tag.empty() ? "" : ", ") + Inline(Text(name));
    if (!Text(option["placeholder"]).empty()) tag += " \\fI" + Inline(Text(option["placeholder"])) + "\\fR";
    if (option.value("repeatable", false)) tag += " ...";
  } else {
    tag = "\\fI" + Inline(Text(option["name"])) + "\\fR";
  }
  return ".TP\n" + tag + "\n" + Inline(Text(option["description"])) + "\n";
}

// The term list ("- `NAME`: text") of a prose section, by term.
std::map<std::string, std::string> Terms(const std::string& markdown) {
  std::map<std::string, std::string> terms;
  static const std::regex item(R"((^|\n)- `([^`]+)`: )");
  auto begin = std::sregex_iterator(markdown.begin(), markdown.end(), item);
  for (auto m = begin; m != std::sregex_iterator(); ++m) {
    const size_t start = static_cast<size_t>(m->position() + m->length());
    const size_t end = markdown.find("\n- ", start);
    const std::string meaning = markdown.substr(start, end == std::string::npos ? std::string::npos : end - start);
    terms[(*m)[2]] = std::regex_replace(meaning, std::regex(R"(\s+)"), " ");
  }
  return terms;
}

// The variables named "$NAME" in `text`, in order of first mention.
std::vector<std::string> Variables(const std::string& text) {
  static const std::regex variable(R"(\$([A-Z][A-Z0-9_]+))");
  std::vector<std::string> names;
  for (auto m = std::sregex_iterator(text.begin(), text.end(), variable); m != std::sregex_iterator(); ++m)
    if (std::find(names.begin(), names.end(), (*m)[1].str()) == names.end()) names.push_back((*m)[1]);
  return names;
}

std::string Environment(const std::vector<std::string>& names, const std::map<std::string, std::string>& meanings) {
  if (names.empty()) return ".PP\nNo environment variable changes what this command does.\n";
  std::string out;
  for (const auto& name : names) {
    const auto found = meanings.find(name);
    const std::string meaning = found != meanings.end() ? found->second : "as the options above say";
    out += ".TP\n\\fB" + name + "\\fR\n" + Inline(meaning) + "\n";
  }
  return out;
}

std::string SeeAlso(const std::vector<std::string>& pages) {
  std::string out;
  for (const auto& page : pages) out += (out.empty() ? "" : ",\n") + std::string("\\fB") + Literal(page) + "\\fR(1)";
  return ".PP\n" + out + "\n";
}

std::string Of(const Prose& prose, const std::string& section) {
  const auto found = prose.find(section);
  return found == prose.end() ? std::string() : found->second;
}

}  // namespace

std::string CommandPage(const Json& program, const Json& command, const Prose& own, const Prose& common,
                        const std::string& version) {
  const std::string name = Text(program["name"]), command_name = Text(command["name"]);
  const std::string page = name + "-" + command_name;
  std::string out = Header(page, version);
  out += Section("NAME", Literal(page) + " \\- " + Inline(Text(command["description"])) + "\n");
  out += Section("SYNOPSIS", ".PP\n" + Synopsis(Text(command["usage"])) + "\n");

  std::string description = Of(own, "DESCRIPTION");
  if (description.empty()) description = Text(command["description"]) + ".";
  out += Section("DESCRIPTION", Blocks(description) + Blocks(Text(command["footer"])));

  // The command's own, then those of the program it takes after its name.
  std::string options;
  std::set<std::string> taken;
  for (const auto& a : command["arguments"]) options += OptionEntry(a);
  for (const auto& o : command["options"]) {
    options += OptionEntry(o);
    for (const auto& n : o["names"]) taken.insert(Text(n));
  }
  for (const auto& o : program["options"]) {
    const bool shared = std::none_of(o["names"].begin(), o["names"].end(), [&](const Json& n) {
      return taken.count(Text(n)) > 0 || Text(n) == "--version";
    });
    if (shared) options += OptionEntry(o);
  }
  out += Section("OPTIONS", options);

  const std::string exit_status = Of(own, "EXIT STATUS");
  out += Section("EXIT STATUS", Blocks(exit_status.empty() ? Of(common, "EXIT STATUS") : exit_status));

  // The variables the command's definitions and prose name, explained by
  // its own prose or else the program's.
  std::string mentioned = Text(command["description"]) + " " + Text(command["footer"]);
  for (const auto& o : command["options"]) mentioned += " " + Text(o["description"]);
  for (const auto& a : command["arguments"]) mentioned += " " + Text(a["description"]);
  for (const auto& [section, text] : own) mentioned += " " + text;
  std::map<std::string, std::string> meanings = Terms(Of(common, "ENVIRONMENT"));
  std::vector<std::string> names = Variables(mentioned);
  for (const auto& [term, meaning] : Terms(Of(own, "ENVIRONMENT"))) {
    meanings[term] = meaning;
    if (std::find(names.begin(), names.end(), term) == names.end()) names.push_back(term);
  }
  out += Section("ENVIRONMENT", Environment(names, meanings));

  if (const std::string examples = Of(own, "EXAMPLES"); !examples.empty())
    out += Section("EXAMPLES", Blocks(examples));
  std::vector<std::string> see_also{name};
  for (const auto& other : program["commands"])
    if (Of(own, "SEE ALSO").find("`" + name + " " + Text(other["name"]) + "`") != std::string::npos)
      see_also.push_back(name + "-" + Text(other["name"]));
  out += Section("SEE ALSO", SeeAlso(see_also));
  return out;
}

std::string ProgramPage(const Json& program, const Prose& common, const std::string& version) {
  const std::string name = Text(program["name"]);
  std::string summary = Text(program["description"]);
  if (summary.rfind(name + ": ", 0) == 0) summary = summary.substr(name.size() + 2);
  std::string out = Header(name, version);
  out += Section("NAME", Literal(name) + " \\- " + Inline(summary) + "\n");
  out += Section("SYNOPSIS", ".PP\n" + Synopsis(Text(program["usage"]) + " [ARGUMENTS]") + "\n");
  out += Section("DESCRIPTION", Blocks(Of(common, "DESCRIPTION")));

  // The commands in the help's groups and order.
  std::string commands;
  std::vector<std::string> groups;
  for (const auto& c : program["commands"])
    if (std::find(groups.begin(), groups.end(), Text(c["group"])) == groups.end()) groups.push_back(Text(c["group"]));
  std::vector<std::string> pages;
  for (const auto& group : groups) {
    commands += ".SS \"" + group + "\"\n";
    for (const auto& c : program["commands"])
      if (Text(c["group"]) == group) {
        const std::string page = name + "-" + Text(c["name"]);
        commands += ".TP\n\\fB" + Inline(Text(c["name"])) + "\\fR\n" + Inline(Text(c["description"])) + "; see \\fB" +
                    Literal(page) + "\\fR(1).\n";
        pages.push_back(page);
      }
  }
  out += Section("COMMANDS", commands);

  std::string options;
  for (const auto& o : program["options"]) options += OptionEntry(o);
  out += Section("OPTIONS", options);
  out += Section("EXIT STATUS", Blocks(Of(common, "EXIT STATUS")));
  out += Section("ENVIRONMENT", Blocks(Of(common, "ENVIRONMENT")));
  out += Section("EXAMPLES", Blocks(Of(common, "EXAMPLES")));
  out += Section("SEE ALSO", SeeAlso(pages));
  return out;
}

}  // namespace kestrel::manual
