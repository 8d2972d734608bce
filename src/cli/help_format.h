// How the command line describes itself: the help it prints, and the same
// definitions as JSON (`kestrel --describe`), from which the build writes the
// manual pages and the bash completion. Each option's value is named by one
// placeholder wherever it appears, without the type and check texts of the
// option parser ("TEXT", "Excludes:", "INT in [0 - 65535]").
#pragma once

#include <CLI/CLI.hpp>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace kestrel::cli {

// The word that stands for an option's value: the type name the option was
// given; for one given none, the choices of its set ("auto|always|never")
// or its long name in capitals ("--user" -> USER). A positional's own name;
// "" for a flag.
std::string Placeholder(const CLI::Option& option);

// What an option's value is, for completion: "file", "dir", "path" (file or
// folder), "profile" (a stored profile's number), "command", "choice" (one
// of `choices`), or "" for anything typed.
struct ValueKind {
  std::string kind;
  std::vector<std::string> choices;
};
ValueKind KindOfValue(const CLI::Option& option);

// The help's layout: the placeholder alone after an option's names,
// required options named in the usage line, and descriptions wrapped to 80
// columns beside a column of names.
class HelpFormatter : public CLI::Formatter {
 public:
  HelpFormatter();
  std::string make_option(const CLI::Option* option, bool is_positional) const override;
  std::string make_option_opts(const CLI::Option* option) const override;
  std::string make_subcommand(const CLI::App* sub) const override;
  std::string make_usage(const CLI::App* app, std::string name) const override;
  std::string make_description(const CLI::App* app) const override;
  std::string make_footer(const CLI::App* app) const override;
};

// `text` cut into lines of at most `width` columns at spaces (a longer word
// stands alone), every line after the first indented by `indent` spaces.
std::string Wrap(const std::string& text, size_t width, size_t indent);

// The program and its commands as the build's generators read them: names,
// descriptions, usage lines, footers and every option with its placeholder
// and the kind of its value. Options in no group (hidden) are left out.
nlohmann::json Describe(const CLI::App& app);

}  // namespace kestrel::cli
