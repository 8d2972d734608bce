// kestrel: the command-line front end. Exit 0 on success, 1 with
// "error N: DESCRIPTION" on stderr on failure (and a hint where the text names
// a property of the component rather than an option), 2 on a usage error with
// one line naming it and where the help is.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <iostream>

#include <fmt/format.h>

#include "bcp_run.h"
#include "lock_wait.h"
#include "command.h"
#include "output.h"
#include "usage.h"
#include "kestrel/error.h"
#include "kestrel/progress.h"
#include "kestrel/store.h"

namespace kestrel::cli {

namespace {

// Texts of the component that name its procedures or properties, kept as
// they are, and what the command line says beside them in its own words.
struct Hint {
  std::string_view text;
  std::string_view hint;
};
constexpr std::array<Hint, 9> kHints = {{
    {"Set Overwrite Option to True", "use --overwrite to replace the existing pack"},
    {"The archive file exists already", "use --overwrite to replace it"},
    {"ShowLogicPackDetails - Path Not Found", "PACK is the pack folder or archive file `kestrel export` printed"},
    {"ShowLogicPackDetails - Log File Missing ExportMR.log",
     "PACK must be a folder an export wrote: it holds ExportMR.log"},
    {"ShowLogicPackDetails - At least one or more data files are missing",
     "`kestrel ls PACK` lists the files the pack holds"},
    {"ShowLogicPackDetails - Exported Objects are incorrect",
     "the export that wrote this pack failed; export the profile again"},
    {"Migration Profile Not found", "`kestrel list` lists the profiles the store holds"},
    {"Could not retrieve installation directory",
     "no installation folder is recorded in the registry file; run `kestrel setup --install-dir DIR` (with "
     "--registry FILE to choose the file)"},
    {"The logic pack has no ExportMR.sums",
     "a pack an older export wrote has no sums; --no-sums takes it unchecked (`kestrel ls PACK` lists its files)"},
}};

}  // namespace

std::string_view HintFor(std::string_view description) {
  for (const Hint& h : kHints)
    if (description.find(h.text) != std::string_view::npos) return h.hint;
  return {};
}

kestrel::Env& CommandEnv() { return kestrel::Env::Default(); }

kestrel::Store OpenStore(const std::string& location) {
  Detail("opening store " + kestrel::store::MaskedLocation(location));
  return kestrel::Store::Open(location, LockWaitSeconds());
}

kestrel::Context CommandContext(const std::atomic<bool>* stop) {
  kestrel::Context context;
  context.env = &CommandEnv();
  context.stop = stop;
  if (ProgressWanted()) {
    context.progress = [](const std::string& what, int64_t done, int64_t total) { ShowProgress(what, done, total); };
    context.notice = [](const std::string& line) {
      EndProgress();
      std::cerr << line << std::endl;
    };
  }
  return context;
}

std::vector<CommandInfo>& Commands() {
  static std::vector<CommandInfo> commands;
  return commands;
}

namespace {

// "error N: DESCRIPTION", then `where` and the place, then the hint.
int FailAt(long number, const std::string& description, std::string_view where, const kestrel::Place& place) {
  EndProgress();
  std::cerr << "error " << number << ": " << kestrel::store::MaskedText(description) << '\n';
  // A place the description names already is not said twice.
  const std::string at = place.Text();
  if (!at.empty() && description.find(at) == std::string::npos &&
      (place.path.empty() || description.find(place.path) == std::string::npos))
    std::cerr << where << kestrel::store::MaskedText(at) << '\n';
  if (std::string_view hint = HintFor(description); !hint.empty()) std::cerr << "hint: " << hint << '\n';
  return 1;
}

}  // namespace

int Fail(long number, const std::string& description) { return FailAt(number, description, "", {}); }

int Fail(const kestrel::Error& e, std::string_view where) { return FailAt(e.number(), e.description(), where, e.place()); }

int Guard(const std::function<int()>& body) {
  try {
    return body();
  } catch (const kestrel::Error& e) {
    return Fail(e);
  } catch (const std::exception& e) {
    auto c = kestrel::AsComError(e);
    return Fail(c.number(), c.description());
  }
}

bool ProgressWanted() { return CurrentVerbosity() != Verbosity::Quiet && ::isatty(STDERR_FILENO) == 1; }

namespace {
bool g_progress_shown = false;
}

void ShowProgress(const std::string& what, long long done, long long total) {
  if (!ProgressWanted()) return;
  using Clock = std::chrono::steady_clock;
  static auto last = Clock::time_point{};
  static std::string step;
  static Clock::time_point step_began;
  auto now = Clock::now();
  if (what != step) step = what, step_began = now;
  if (now - last < std::chrono::milliseconds(100)) return;
  last = now;
  const std::string line =
      kestrel::ProgressText(what, done, total, std::chrono::duration<double>(now - step_began).count());
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
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
  using kestrel::cli::Verbosity;
  // bcp hands a load into a server store over to this program, which can load
  // the server backend: "kestrel bcp ARGS" is that load, with bcp's own
  // arguments, output and exit codes (bcp_main.cpp).
  if (argc >= 2 && std::string_view(argv[1]) == "bcp")
    return kestrel::cli::RunBcp(std::vector<std::string>(argv + 2, argv + argc), nullptr);
  // The name is given, so the help never shows the path the program was started by.
  CLI::App app{"kestrel: export and import migration profiles as logic packs", std::string(kestrel::cli::kProgramName)};
  app.set_version_flag("-V,--version", std::string("kestrel ") + KESTREL_VERSION);
  app.require_subcommand(1);
  // -q and -v are taken before or after the command's name.
  app.fallthrough();
  bool quiet = false, verbose = false;
  CLI::Option* quiet_flag = app.add_flag("-q,--quiet", quiet, "no progress and no notices on stderr; errors only");
  app.add_flag("-v,--verbose", verbose, "say on stderr what is being read and written")->excludes(quiet_flag);

  std::vector<kestrel::cli::CommandInfo> commands = kestrel::cli::Commands();
  std::stable_sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) {
    return kestrel::cli::PlaceOf(a.name).rank < kestrel::cli::PlaceOf(b.name).rank;
  });
  std::vector<std::pair<CLI::App*, kestrel::cli::Runner>> runners;
  for (auto& c : commands) {
    CLI::App* sub = app.add_subcommand(c.name, c.description);
    sub->group(kestrel::cli::PlaceOf(c.name).group);
    runners.emplace_back(sub, c.setup(*sub));
  }

  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << kestrel::store::MaskedText(kestrel::cli::UsageMessage(app, args, e));
    return 2;
  }
  kestrel::cli::SetVerbosity(quiet ? Verbosity::Quiet : verbose ? Verbosity::Verbose : Verbosity::Normal);
  for (auto& [sub, run] : runners)
    if (sub->parsed()) {
      const auto began = std::chrono::steady_clock::now();
      int rc = kestrel::cli::Guard(run);
      kestrel::cli::EndProgress();
      kestrel::cli::Detail(fmt::format(
          "{} ended with exit code {} after {:.2f} s", sub->get_name(), rc,
          std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count()));
      return rc;
    }
  return 2;
}
