// Usage errors in two lines, with the nearest valid word, and the order of
// the commands in the help.
#include "usage.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <regex>

#include <fmt/format.h>
#include <fmt/ranges.h>

namespace kestrel::cli {
namespace {

size_t Distance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The names a command takes as options: "--store", "-q".
std::vector<std::string> OptionNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* a = &app; a != nullptr; a = a->get_parent())
    for (const CLI::Option* o : a->get_options()) {
      for (const auto& n : o->get_lnames()) names.push_back("--" + n);
      for (const auto& n : o->get_snames()) names.push_back("-" + n);
    }
  return names;
}

std::vector<std::string> CommandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) names.push_back(sub->get_name());
  return names;
}

// A number the parser printed with "%f" ("1.000000"), as it would be typed.
std::string PlainNumber(const std::string& text) {
  if (text.find('.') == std::string::npos) return text;
  std::string n = text.substr(0, text.find_last_not_of('0') + 1);
  if (!n.empty() && n.back() == '.') n.pop_back();
  return n;
}

// The parser's texts of a range or set check, a missing value and a value
// given too often, in the command line's words and without its type names.
std::string PlainParserText(const std::string& text) {
  static const std::regex range(R"(Value (.*) not in range (\S+) to (\S+))");
  static const std::regex set(R"((\S*) not in \{([^}]*)\})");
  static const std::regex missing(R"(\d+ required .* missing)");
  static const std::regex too_many(R"(At Most (\d+) required but received (\d+))");
  std::smatch m;
  if (std::regex_search(text, m, range)) {
    const std::string lowest = PlainNumber(m[2]), highest = PlainNumber(m[3]);
    // The largest double stands for "no upper bound".
    const std::string bounds = std::strtod(highest.c_str(), nullptr) >= 1e300
                                   ? fmt::format("{} or more", lowest)
                                   : fmt::format("from {} to {}", lowest, highest);
    return m.prefix().str() + fmt::format("{} is not a number {}", TypedValue(m[1].str()), bounds) + m.suffix().str();
  }
  if (std::regex_search(text, m, set))
    return m.prefix().str() + fmt::format("{} is not one of {}", TypedValue(m[1].str()), std::regex_replace(m[2].str(), std::regex(","), ", ")) +
           m.suffix().str();
  if (std::regex_search(text, m, missing)) return m.prefix().str() + "a value is required" + m.suffix().str();
  if (std::regex_search(text, m, too_many))
    return m.prefix().str() + fmt::format("given {} times, taken at most {}", m[2].str(), m[1].str()) + m.suffix().str();
  return text;
}

std::string DidYouMean(const std::string& nearest) {
  return nearest.empty() ? std::string() : fmt::format(" (did you mean {}?)", nearest);
}

// The command that was running when parsing stopped: the first word that
// names one (later words are its arguments), else the program itself.
const CLI::App* FailedCommand(const CLI::App& app, const std::vector<std::string>& args) {
  for (const auto& a : args)
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
      if (sub->get_name() == a) return sub;
  return &app;
}

}  // namespace

std::string TypedValue(std::string_view value) { return value.empty() ? "an empty value" : std::string(value); }

std::string Nearest(std::string_view typed, const std::vector<std::string>& candidates) {
  auto bare = [](std::string_view w) { return w.substr(std::min(w.size(), w.find_first_not_of('-'))); };
  // A word cut short ("--stor", "imp") is the start of the one it meant.
  if (bare(typed).size() >= 2)
    for (const auto& c : candidates)
      if (c.size() > typed.size() && bare(c).substr(0, bare(typed).size()) == bare(typed)) return c;
  std::string best;
  size_t best_distance = std::string::npos;
  for (const auto& c : candidates)
    if (const size_t d = Distance(typed, c); d < best_distance) best_distance = d, best = c;
  const size_t allowed = std::max<size_t>(2, std::max(typed.size(), best.size()) / 3);
  return best_distance <= allowed ? best : std::string();
}

std::string UnknownCommandMessage(const CLI::App& app, std::string_view who, const std::string& typed) {
  return fmt::format("{}: unknown command {}{}\nRun '{} --help' for the commands.\n", who, typed,
                     DidYouMean(Nearest(typed, CommandNames(app))), kProgramName);
}

std::string UsageMessage(const CLI::App& app, const std::vector<std::string>& args, const CLI::ParseError& e) {
  const CLI::App* failed = FailedCommand(app, args);
  const bool top = failed == &app;
  const std::string who = top ? std::string(kProgramName) : std::string(kProgramName) + " " + failed->get_name();
  std::string first;
  // An unknown word is named first, whatever parsing tripped over after it:
  // "--stor S" would otherwise read as a missing --store.
  {
    const bool extras = dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr;
    std::string stray;
    bool stray_is_option = false;
    const std::vector<std::string> options = OptionNames(*failed);
    for (const auto& a : args) {
      // A negative number is a value, not an option; so is "-", standard
      // input or output.
      if (a.empty() || a == "-" || (a.size() > 1 && a[0] == '-' && std::isdigit(static_cast<unsigned char>(a[1]))))
        continue;
      const std::string name = a.substr(0, a.find('='));
      if (a[0] == '-') {
        if (std::find(options.begin(), options.end(), name) == options.end()) {
          stray = name, stray_is_option = true;
          break;
        }
      } else if (top) {
        const std::vector<std::string> commands = CommandNames(app);
        if (std::find(commands.begin(), commands.end(), a) == commands.end()) stray = a;
        break;
      }
    }
    if (!stray.empty() && stray_is_option)
      first = fmt::format("{}: unknown option {}{}", who, stray, DidYouMean(Nearest(stray, options)));
    else if (!stray.empty() && top)
      return UnknownCommandMessage(app, who, stray);
    else if (top && !extras)
      first = fmt::format("{}: a command is required", who);
  }
  // Words left over, in the order they were typed (the parser's own text
  // names them backwards); a command hands those it cannot take to the
  // program.
  if (const std::vector<std::string> left = app.remaining(true);
      first.empty() && dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr && !left.empty())
    first = fmt::format("{}: unexpected argument{} {}", who, left.size() > 1 ? "s" : "", fmt::join(left, " "));
  if (first.empty()) first = fmt::format("{}: {}", who, PlainParserText(e.what()));
  const std::string help =
      top ? std::string("Run 'kestrel --help' for the commands.")
          : fmt::format("Run '{} --help' for its options.", who);
  return fmt::format("{}\n{}\n", first, help);
}

CommandPlace PlaceOf(std::string_view command) {
  struct Row {
    std::string_view command, group;
  };
  static constexpr std::array<Row, 22> kPlaces = {{
      {"list", "Look into stores and packs"},
      {"ls", "Look into stores and packs"},
      {"show", "Look into stores and packs"},
      {"diff", "Look into stores and packs"},
      {"counts", "Look into stores and packs"},
      {"depth", "Look into stores and packs"},
      {"export", "Move profiles"},
      {"check", "Move profiles"},
      {"verify", "Move profiles"},
      {"import", "Move profiles"},
      {"promote", "Move profiles"},
      {"load-functions", "Move profiles"},
      {"serve", "Move profiles"},
      {"init-store", "Set up"},
      {"demo-store", "Set up"},
      {"setup", "Set up"},
      {"stores", "Set up"},
      {"delete", "Change a store"},
      {"renumber", "Change a store"},
      {"history", "Change a store"},
      {"undo", "Change a store"},
      {"help", "Help"},
  }};
  for (size_t i = 0; i < kPlaces.size(); ++i)
    if (kPlaces[i].command == command) return {std::string(kPlaces[i].group), static_cast<int>(i)};
  return {"Other", static_cast<int>(kPlaces.size())};
}

}  // namespace kestrel::cli
