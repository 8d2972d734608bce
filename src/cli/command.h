// How the commands of `kestrel` plug in: each command file registers a name,
// a one-line description, the function that declares its options into the
// command's own options struct, and the function that runs from that struct.
// The runner returns the exit code.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/env.h"
#include "kestrel/store.h"

namespace kestrel::cli {

// The Env through which every command reaches the system.
kestrel::Env& CommandEnv();

using Runner = std::function<int()>;
using Setup = std::function<Runner(CLI::App& sub)>;

struct CommandInfo {
  std::string name;
  std::string description;
  Setup setup;
};

std::vector<CommandInfo>& Commands();

// One options struct per subcommand, made when the subcommand is added and
// held by its runner, so the values CLI11 parses into stay alive until the
// command has run.
struct Registration {
  template <class Options>
  Registration(std::string name, std::string description, void (*declare)(CLI::App&, Options&),
               int (*run)(const Options&)) {
    Setup setup = [declare, run](CLI::App& sub) -> Runner {
      auto options = std::make_shared<Options>();
      declare(sub, *options);
      return [options, run] { return run(*options); };
    };
    Commands().push_back({std::move(name), std::move(description), std::move(setup)});
  }
};

// Opens the store at `location` for a command, its statements waiting for
// another program's locks as long as --wait says; with -v, says so on stderr
// (the location's password masked).
std::shared_ptr<kestrel::store::Connection> OpenStore(const std::string& location);

// "error N: DESCRIPTION" on stderr, then "hint: ..." where HintFor has one;
// returns exit code 1.
int Fail(long number, const std::string& description);
// What the command line adds, in its own words, to a text of the component
// that names the component's procedures or properties; "" for other texts.
std::string_view HintFor(std::string_view description);
// Runs `body`, turning an escaping ComError into Fail.
int Guard(const std::function<int()>& body);
// Progress goes to stderr only when it is a terminal.
bool ProgressWanted();
// Overwrites the progress line on the terminal, throttled: "what: done", and
// where `total` is known (above 0) "of total (P%)" and the rate of the step.
void ShowProgress(const std::string& what, long long done, long long total = 0);
void EndProgress();

}  // namespace kestrel::cli
