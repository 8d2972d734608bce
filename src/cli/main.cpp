// kestrel: the command-line front end. Exit 0 on success, 1 with
// "error N: DESCRIPTION" on stderr on failure, 2 with help on a usage error.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>

#include "command.h"
#include "kestrel/error.h"

namespace kestrel::cli {

kestrel::Env& CommandEnv() { return kestrel::Env::Default(); }

std::vector<CommandInfo>& Commands() {
  static std::vector<CommandInfo> commands;
  return commands;
}

int Fail(long number, const std::string& description) {
  EndProgress();
  std::cerr << "error " << number << ": " << description << '\n';
  return 1;
}

int Guard(const std::function<int()>& body) {
  try {
    return body();
  } catch (const kestrel::ComError& e) {
    return Fail(e.number(), e.description());
  } catch (const std::exception& e) {
    auto c = kestrel::AsComError(e);
    return Fail(c.number(), c.description());
  }
}

bool ProgressWanted() { return ::isatty(STDERR_FILENO) == 1; }

namespace {
bool g_progress_shown = false;
}

void ShowProgress(const std::string& what, long long done) {
  if (!ProgressWanted()) return;
  static auto last = std::chrono::steady_clock::time_point{};
  auto now = std::chrono::steady_clock::now();
  if (now - last < std::chrono::milliseconds(100)) return;
  last = now;
  std::fprintf(stderr, "\r\033[K%s: %lld", what.c_str(), done);
  std::fflush(stderr);
  g_progress_shown = true;
}

void EndProgress() {
  if (g_progress_shown) {
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    g_progress_shown = false;
  }
}

}  // namespace kestrel::cli

int main(int argc, char** argv) {
  CLI::App app{"kestrel: export and import migration profiles as logic packs"};
  app.set_version_flag("--version", std::string("kestrel ") + KESTREL_VERSION);
  app.require_subcommand(1);
  app.failure_message(CLI::FailureMessage::help);

  std::vector<std::pair<CLI::App*, kestrel::cli::Runner>> runners;
  for (auto& c : kestrel::cli::Commands()) {
    CLI::App* sub = app.add_subcommand(c.name, c.description);
    runners.emplace_back(sub, c.setup(*sub));
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }
  for (auto& [sub, run] : runners)
    if (sub->parsed()) {
      int rc = kestrel::cli::Guard(run);
      kestrel::cli::EndProgress();
      return rc;
    }
  return 2;
}
