// The help's layout, the placeholders of option values, and the command
// tree as JSON for the build's manual pages and completion.
#include "help_format.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace kestrel::cli {
namespace {

constexpr size_t kWidth = 80;
constexpr size_t kNameColumn = 30;

// The names and description texts of an option's checks. The parser offers
// them by index only, and through a non-const accessor: they are only read.
struct Check {
  std::string name, text;
};
std::vector<Check> ChecksOf(const CLI::Option& option) {
  auto& o = const_cast<CLI::Option&>(option);
  std::vector<Check> checks;
  for (int i = 0;; ++i) {
    try {
      const CLI::Validator* v = o.get_validator(i);
      checks.push_back({v->get_name(), v->get_description()});
    } catch (const CLI::OptionNotFound&) {
      break;
    }
  }
  return checks;
}

// The choices of a set check, whose text reads "{auto,always,never}" (a
// map's "{name->value,...}" offers its names).
std::vector<std::string> ChoicesOf(const CLI::Option& option) {
  for (const Check& c : ChecksOf(option)) {
    const std::string& t = c.text;
    if (t.size() < 3 || t.front() != '{' || t.back() != '}') continue;
    std::vector<std::string> choices;
    std::stringstream items(t.substr(1, t.size() - 2));
    for (std::string item; std::getline(items, item, ',');) choices.push_back(item.substr(0, item.find("->")));
    return choices;
  }
  return {};
}

// The parser's own type names, which say how a value is stored rather than
// what it is.
bool Generic(const std::string& type_name) {
  std::string rest = type_name;
  for (const char* word : {"BOOLEAN", "FLOAT", "TEXT", "UINT", "CHAR", "ENUM", "INT"})
    for (size_t at; (at = rest.find(word)) != std::string::npos;) rest.erase(at, std::char_traits<char>::length(word));
  return rest.find_first_not_of("[],: ") == std::string::npos;
}

bool Repeatable(const CLI::Option& o) { return o.get_expected_max() >= CLI::detail::expected_max_vector_size; }

bool IsFlag(const CLI::Option& o) { return o.nonpositional() && o.get_expected_max() == 0; }

std::string Spaces(size_t n) { return std::string(n, ' '); }

// A name and its description in two columns; a name too wide for its column
// stands on a line of its own.
std::string Columns(const std::string& left, const std::string& description) {
  if (description.empty()) return left + "\n";
  const std::string text = Wrap(description, kWidth - kNameColumn, kNameColumn);
  if (left.size() + 1 >= kNameColumn) return left + "\n" + Spaces(kNameColumn) + text + "\n";
  return left + Spaces(kNameColumn - left.size()) + text + "\n";
}

}  // namespace

std::string Wrap(const std::string& text, size_t width, size_t indent) {
  std::string out;
  std::stringstream lines(text);
  bool first_line = true;
  for (std::string paragraph; std::getline(lines, paragraph);) {
    if (!first_line) out += "\n" + Spaces(indent);
    first_line = false;
    size_t column = 0;
    std::stringstream words(paragraph);
    for (std::string word; words >> word;) {
      if (column > 0 && column + 1 + word.size() > width) {
        out += "\n" + Spaces(indent);
        column = 0;
      }
      if (column > 0) out += ' ', ++column;
      out += word;
      column += word.size();
    }
  }
  return out;
}

std::string Placeholder(const CLI::Option& option) {
  if (option.get_positional() && !option.nonpositional()) return option.get_name(true, false);
  if (IsFlag(option)) return "";
  // The parser appends each check's text after a colon.
  std::string name = option.get_type_name();
  const std::vector<Check> checks = ChecksOf(option);
  for (auto c = checks.rbegin(); c != checks.rend(); ++c) {
    const std::string suffix = ":" + c->text;
    if (!c->text.empty() && name.ends_with(suffix)) name.resize(name.size() - suffix.size());
  }
  if (!Generic(name)) return name;
  if (const std::vector<std::string> choices = ChoicesOf(option); !choices.empty()) {
    std::string joined;
    for (const auto& c : choices) joined += (joined.empty() ? "" : "|") + c;
    return joined;
  }
  std::string word = !option.get_lnames().empty()   ? option.get_lnames().front()
                     : !option.get_snames().empty() ? option.get_snames().front()
                                                    : std::string("value");
  std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::toupper(c); });
  return word;
}

ValueKind KindOfValue(const CLI::Option& option) {
  if (IsFlag(option)) return {};
  for (const Check& c : ChecksOf(option))
    if (c.name == "profile number") return {"profile", {}};
  if (std::vector<std::string> choices = ChoicesOf(option); !choices.empty()) return {"choice", std::move(choices)};
  const std::string p = Placeholder(option);
  if (p == "DIR" || p == "PACK") return {"dir", {}};
  if (p == "FILE" || p == "STORE") return {"file", {}};
  if (p == "COMMAND") return {"command", {}};
  // An argument of unknown kind is most often a path.
  if (!option.nonpositional()) return {"path", {}};
  return {};
}

HelpFormatter::HelpFormatter() {
  label("Positionals", "Arguments");
  label("SUBCOMMAND", "COMMAND");
  column_width(kNameColumn);
}

std::string HelpFormatter::make_option(const CLI::Option* option, bool is_positional) const {
  return Columns("  " + make_option_name(option, is_positional) + make_option_opts(option), make_option_desc(option));
}

std::string HelpFormatter::make_option_opts(const CLI::Option* option) const {
  if (!option->nonpositional() || IsFlag(*option)) return "";
  return " " + Placeholder(*option) + (Repeatable(*option) ? " ..." : "");
}

std::string HelpFormatter::make_subcommand(const CLI::App* sub) const {
  return Columns("  " + sub->get_name(), sub->get_description());
}

std::string HelpFormatter::make_usage(const CLI::App* app, std::string name) const {
  std::string usage = get_label("Usage") + ": " + name;
  bool optional_options = false;
  for (const CLI::Option* o : app->get_options([](const CLI::Option* o) { return o->nonpositional(); })) {
    if (o->get_required())
      usage += " " + o->get_name(false, true).substr(o->get_name(false, true).rfind(',') + 1) + make_option_opts(o);
    else if (!o->get_group().empty())
      optional_options = true;
  }
  if (optional_options) usage += " [" + get_label("OPTIONS") + "]";
  for (const CLI::Option* o : app->get_options([](const CLI::Option* o) { return !o->nonpositional(); }))
    usage += " " + make_option_usage(o);
  if (app->get_require_subcommand_min() > 0) usage += " " + get_label("SUBCOMMAND");
  return usage + "\n";
}

std::string HelpFormatter::make_description(const CLI::App* app) const {
  const std::string& d = app->get_description();
  return d.empty() ? std::string() : Wrap(d, kWidth, 0) + "\n";
}

std::string HelpFormatter::make_footer(const CLI::App* app) const {
  const std::string& f = app->get_footer();
  return f.empty() ? std::string() : Wrap(f, kWidth, 0) + "\n";
}

namespace {

nlohmann::json OptionJson(const CLI::Option& o) {
  nlohmann::json j;
  if (o.nonpositional()) {
    j["names"] = nlohmann::json::array();
    for (const auto& s : o.get_snames()) j["names"].push_back("-" + s);
    for (const auto& l : o.get_lnames()) j["names"].push_back("--" + l);
  } else {
    j["name"] = o.get_name(true, false);
  }
  j["placeholder"] = Placeholder(o);
  j["description"] = o.get_description();
  j["required"] = o.get_required();
  j["repeatable"] = Repeatable(o);
  if (!IsFlag(o)) {
    const ValueKind kind = KindOfValue(o);
    j["value"] = kind.kind;
    j["choices"] = kind.choices;
  }
  return j;
}

nlohmann::json CommandJson(const CLI::App& app, const std::string& path) {
  const HelpFormatter formatter;
  nlohmann::json j;
  j["name"] = app.get_name();
  j["description"] = app.get_description();
  j["group"] = app.get_group();
  std::string usage = formatter.make_usage(&app, path);
  usage = usage.substr(usage.find(": ") + 2);
  usage.pop_back();
  j["usage"] = usage;
  j["footer"] = app.get_footer();
  j["options"] = nlohmann::json::array();
  j["arguments"] = nlohmann::json::array();
  for (const CLI::Option* o : app.get_options([](const CLI::Option* o) { return !o->get_group().empty(); }))
    j[o->nonpositional() ? "options" : "arguments"].push_back(OptionJson(*o));
  return j;
}

}  // namespace

nlohmann::json Describe(const CLI::App& app) {
  nlohmann::json j = CommandJson(app, app.get_name());
  j["commands"] = nlohmann::json::array();
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App* s) { return !s->get_group().empty(); }))
    j["commands"].push_back(CommandJson(*sub, app.get_name() + " " + sub->get_name()));
  return j;
}

}  // namespace kestrel::cli
