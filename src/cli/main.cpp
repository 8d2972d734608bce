// kestrel: the command-line front end. Exit 0 on success, 1 with
// "error N: DESCRIPTION" on stderr on failure, 2 with help on a usage error.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>

#include "command.h"
#include "kestrel/error.h"
#include "kestrel/store.h"

namespace kestrel::cli {

namespace {

// The text with every word that is a server store's URI (quotes or a
// parenthesis before it aside) shown without its password: an error may
// quote what was typed, and a password typed into a URI is never echoed.
std::string WithoutPasswords(const std::string& text) {
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(" \t\r\n", start);
    if (end == std::string::npos) end = text.size();
    const size_t word = std::min(text.find_first_not_of("\"'(", start), end);
    out.append(text, start, word - start);
    out += kestrel::store::MaskedLocation(text.substr(word, end - word));
    if (end < text.size()) out += text[end];
    start = end + 1;
  }
  return out;
}

}  // namespace

kestrel::Env& CommandEnv() { return kestrel::Env::Default(); }

std::vector<CommandInfo>& Commands() {
  static std::vector<CommandInfo> commands;
  return commands;
}

int Fail(long number, const std::string& description) {
  EndProgress();
  std::cerr << "error " << number << ": " << WithoutPasswords(description) << '\n';
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
  app.failure_message([](const CLI::App* failed, const CLI::Error& e) {
    return kestrel::cli::WithoutPasswords(CLI::FailureMessage::help(failed, e));
  });

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
