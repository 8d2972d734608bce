// PACK arguments, folders or archives, and their private folders.
#include "pack_sources.h"

#include <csignal>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "command.h"
#include "output.h"
#include "kestrel/pack_archive.h"

namespace kestrel::cli {
namespace {

// The PACK arguments each command declared, and the sources opened while a
// command runs (by argument), both for this one program run.
std::vector<std::pair<const CLI::App*, std::string*>> g_arguments;
std::map<std::string, std::unique_ptr<kestrel::PackSource>> g_opened;

extern "C" void RemoveAndEnd(int signal_number) {
  kestrel::RemovePrivateFoldersNow();
  // The signal is blocked while its handler runs: it ends the program, as it
  // would have, once the handler returns.
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

}  // namespace

void AddPackArgument(CLI::App& sub, std::string& pack) {
  sub.add_option("PACK", pack,
                 "logic pack: its folder, an archive file `export --archive` wrote (.tar or .tar.zst), or - for "
                 "such an archive on standard input")
      ->required();
  g_arguments.emplace_back(&sub, &pack);
}

void RemovePrivateFoldersOnSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    struct sigaction now {}, before {};
    now.sa_handler = RemoveAndEnd;
    sigemptyset(&now.sa_mask);
    // A signal the program was started with ignored stays ignored.
    if (sigaction(s, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(s, &now, nullptr);
  }
}

const std::string& PackFolder(const std::string& argument) {
  auto found = g_opened.find(argument);
  if (found == g_opened.end()) {
    RemovePrivateFoldersOnSignals();
    auto source = std::make_unique<kestrel::PackSource>(CommandEnv(), argument);
    if (source->from_archive()) Detail("unpacked pack archive " + argument + " into " + source->folder());
    found = g_opened.emplace(argument, std::move(source)).first;
  }
  return found->second->folder();
}

bool NamesPackArchive(const std::string& argument) {
  return argument == "-" || kestrel::LooksLikePackArchive(argument);
}

std::string ShownPack(const std::string& folder) {
  for (const auto& [argument, source] : g_opened)
    if (source->folder() == folder) return argument == "-" ? "standard input" : argument;
  return folder;
}

OpenedPacks::OpenedPacks(const CLI::App& sub) {
  for (auto& [owner, pack] : g_arguments)
    if (owner == &sub) *pack = PackFolder(*pack);
}

OpenedPacks::~OpenedPacks() { g_opened.clear(); }

}  // namespace kestrel::cli
