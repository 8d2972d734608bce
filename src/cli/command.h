// How the commands of `kestrel` plug in: each command file registers a name,
// a one-line description, the function that declares its options into the
// command's own options struct, and the function that runs from that struct.
// The runner returns the exit code.
#pragma once

#include <CLI/CLI.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/engine.h"
#include "kestrel/env.h"
#include "kestrel/error.h"
#include "pack_sources.h"

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
      // The command finds its PACK arguments naming folders, unpacked where
      // they were archives, and removed again however it ends.
      return [options, run, &sub] {
        OpenedPacks packs(sub);
        return run(*options);
      };
    };
    Commands().push_back({std::move(name), std::move(description), std::move(setup)});
  }
};

// The location a command's store argument stands for: a store name's
// (kestrel/named_stores.h), saying with -v which named store it is, and
// (unless -q) when a file or folder of the name won over a named store; any
// other text as it is.
std::string ResolveStore(const std::string& given);

// Opens the store `given` names for a command (ResolveStore), its statements
// waiting for another program's locks as long as --wait says; with -v, says
// so on stderr (the location's password masked).
kestrel::Store OpenStore(const std::string& given);

// What a command hands the engine: the command's Env, the progress line and
// the notices of a wait on a terminal (progress.h, lock_wait.h), and `stop`,
// the flag the command's signal handlers set (nullptr: none).
kestrel::Context CommandContext(const std::atomic<bool>* stop = nullptr);

// "error N: SENTENCE" on stderr, the sentence and the hint being what
// present/error_face.h has the command line say about the failure; returns
// exit code 1.
int Fail(long number, const std::string& description);
// The same for an Error of the engine, with the place it is about on a line
// of its own after `where` (unless the sentence names it already).
int Fail(const kestrel::Error& e, std::string_view where = "where: ");
// Runs `body`, turning an escaping Error (or any exception) into Fail.
int Guard(const std::function<int()>& body);
// Progress goes to stderr only when it is a terminal.
bool ProgressWanted();
// Overwrites the progress line on the terminal, throttled: "what: done", and
// where `total` is known (above 0) "of total (P%)" and the rate of the step.
void ShowProgress(const std::string& what, long long done, long long total = 0);
void EndProgress();

}  // namespace kestrel::cli
