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
#include "help_format.h"
#include "output.h"
#include "usage.h"
#include "present/error_face.h"
#include "kestrel/error.h"
#include "kestrel/errors.h"
#include "kestrel/progress.h"
#include "kestrel/run_log_text.h"
#include "kestrel/store.h"

namespace kestrel::cli {

kestrel::Env& CommandEnv() { return kestrel::Env::Default(); }

kestrel::Store OpenStore(const std::string& given) {
  const std::string location = ResolveStore(given);
  Detail("opening store " + kestrel::store::MaskedLocation(location));
  return kestrel::Store::Open(location, LockWaitSeconds());
}

kestrel::Context CommandContext(const std::atomic<bool>* stop) {
  kestrel::Context context;
  context.env = &CommandEnv();
  context.stop = stop;
  context.run_log = kestrel::AppendRunLog;
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

// "error N: SENTENCE" in the command line's words (with the server's
// SQLSTATE where there is one), then `where` and the place the sentence does
// not name, then the hint; with -v the text the component keeps.
int FailAt(const kestrel::Error& e, std::string_view where) {
  EndProgress();
  const kestrel::present::Said said = kestrel::present::Say(e, kestrel::present::Face::CommandLine);
  if (JsonFailureWanted()) {
    kestrel::present::Said shown = said;
    shown.sentence = kestrel::store::MaskedText(said.sentence);
    shown.place.path = kestrel::store::MaskedText(said.place.path);
    PrintJson(std::cout, kestrel::present::SaidJson(shown));
    std::cout.flush();
  }
  std::cerr << "error " << said.number;
  if (!said.sqlstate.empty()) std::cerr << " (SQLSTATE " << said.sqlstate << ")";
  std::cerr << ": " << kestrel::store::MaskedText(said.sentence) << '\n';
  if (const std::string at = said.beside.Text(); !at.empty()) std::cerr << where << kestrel::store::MaskedText(at) << '\n';
  if (!said.hint.empty()) std::cerr << "hint: " << said.hint << '\n';
  if (said.sentence != e.description()) Detail("its text: " + kestrel::store::MaskedText(e.description()));
  return 1;
}

}  // namespace

int Fail(long number, const std::string& description) {
  return FailAt(kestrel::Error(static_cast<int32_t>(number), description), "");
}

int Fail(const kestrel::Error& e, std::string_view where) { return FailAt(e, where); }

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

namespace {

// `kestrel help [COMMAND]`: the help of the program or of one command, the
// same text as `kestrel COMMAND --help`.
int RunHelp(const CLI::App& app, const std::string& command) {
  if (command.empty()) {
    // app.help() would hand over to the command that was run, this one.
    std::cout << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
    return 0;
  }
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App* s) { return !s->get_group().empty(); }))
    if (sub->get_name() == command) {
      std::cout << sub->help(app.get_name());
      return 0;
    }
  std::cerr << kestrel::store::MaskedText(kestrel::cli::UnknownCommandMessage(app, app.get_name() + " help", command));
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using kestrel::cli::Verbosity;
  // bcp hands a load into a server store over to this program, which can load
  // the server backend: "kestrel bcp ARGS" is that load, with bcp's own
  // arguments, output and exit codes (bcp_main.cpp).
  if (argc >= 2 && std::string_view(argv[1]) == "bcp")
    return kestrel::cli::RunBcp(std::vector<std::string>(argv + 2, argv + argc), nullptr);
  // The name is given, so the help never shows the path the program was started by.
  CLI::App app{"kestrel: export and import migration profiles as logic packs", std::string(kestrel::cli::kProgramName)};
  // Set before the commands are added, which take both from the program.
  app.formatter(std::make_shared<kestrel::cli::HelpFormatter>());
  app.set_help_flag("-h,--help", "print this help and exit");
  app.set_version_flag("-V,--version", std::string("kestrel ") + KESTREL_VERSION, "print the version and exit");
  app.require_subcommand(1);
  // -q and -v are taken before or after the command's name.
  app.fallthrough();
  bool quiet = false, verbose = false;
  CLI::Option* quiet_flag = app.add_flag("-q,--quiet", quiet, "no progress and no notices on stderr; errors only");
  app.add_flag("-v,--verbose", verbose, "say on stderr what is being read and written")->excludes(quiet_flag);
  bool bytes = false;
  app.add_flag("--bytes", bytes,
               "print stored texts (descriptions, application codes) as the stored Latin-1 bytes; without it they "
               "are decoded to UTF-8 when the locale (LC_ALL, LC_CTYPE, LANG) is UTF-8, on a terminal or a pipe");

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
  std::string help_command;
  CLI::App* help = app.add_subcommand("help", "print the help of the program, or of COMMAND: the same as COMMAND --help");
  help->group(kestrel::cli::PlaceOf("help").group);
  help->add_option("COMMAND", help_command, "the command whose options to print");
  // After the commands, which would take it as their own.
  app.footer("Run 'kestrel help COMMAND' for the options of a command, 'man kestrel-COMMAND' for its manual.");

  // The definitions above, for the build's manual pages and bash completion.
  if (argc == 2 && std::string_view(argv[1]) == "--describe") {
    std::cout << kestrel::cli::Describe(app).dump(2) << '\n';
    return 0;
  }

  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    const std::string message = kestrel::store::MaskedText(kestrel::cli::UsageMessage(app, args, e));
    std::cerr << message;
    // A script that asked for JSON gets the mistake as JSON too: the line
    // that names it (the second says where the help is).
    if (std::find(args.begin(), args.end(), "--json") != args.end())
      kestrel::cli::PrintJson(std::cout, kestrel::present::ErrorJson(kestrel::Number(kestrel::Ours::CommandLineInvalid),
                                                                     message.substr(0, message.find('\n'))));
    return 2;
  }
  kestrel::cli::SetVerbosity(quiet ? Verbosity::Quiet : verbose ? Verbosity::Verbose : Verbosity::Normal);
  if (help->parsed()) return RunHelp(app, help_command);
  kestrel::cli::ShowStoredBytes(bytes);
  for (auto& [sub, run] : runners)
    if (sub->parsed()) {
      const CLI::Option* json = sub->get_option_no_throw("--json");
      kestrel::cli::WantJson(json != nullptr && json->count() > 0);
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
