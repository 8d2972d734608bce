// How the commands of `kestrel` plug in: each command file registers a name,
// a one-line description and a setup function that adds its options to its
// subcommand and returns what runs it. The runner returns the exit code.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

#include "component/env.h"

namespace kestrel::cli {

// The Env through which every command reaches the system.
Kestrel20ImpExp::Env& CommandEnv();

using Runner = std::function<int()>;
using Setup = std::function<Runner(CLI::App& sub)>;

struct CommandInfo {
  std::string name;
  std::string description;
  Setup setup;
};

std::vector<CommandInfo>& Commands();

struct Registration {
  Registration(std::string name, std::string description, Setup setup) {
    Commands().push_back({std::move(name), std::move(description), std::move(setup)});
  }
};

// "error N: DESCRIPTION" on stderr; returns exit code 1.
int Fail(long number, const std::string& description);
// Runs `body`, turning an escaping ComError into Fail.
int Guard(const std::function<int()>& body);
// Progress goes to stderr only when it is a terminal.
bool ProgressWanted();
// Overwrites the progress line on the terminal ("what: done"), throttled.
void ShowProgress(const std::string& what, long long done);
void EndProgress();

}  // namespace kestrel::cli
