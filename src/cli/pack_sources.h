// The one place the command line turns a PACK argument into the folder its
// commands read: a pack folder stays as it is; an archive file, or "-" for an
// archive on standard input, is unpacked into a private folder
// (kestrel/pack_archive.h) for as long as the command runs, and removed when
// it ends, fails or is ended by a signal.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace kestrel::cli {

// Declares the positional PACK of `sub` into `pack`, which the command finds
// naming a folder when it runs.
void AddPackArgument(CLI::App& sub, std::string& pack);

// While it lives (the run of `sub`), the PACK arguments of `sub` name
// folders; it removes what it unpacked when it goes.
class OpenedPacks {
 public:
  explicit OpenedPacks(const CLI::App& sub);
  ~OpenedPacks();
  OpenedPacks(const OpenedPacks&) = delete;
  OpenedPacks& operator=(const OpenedPacks&) = delete;
};

// The folder of a pack argument, unpacked at its first use while the command
// runs (standard input is read once however often "-" is named).
const std::string& PackFolder(const std::string& argument);

// Whether a side of a diff names an archive: "-", or a file whose start is
// that of one (a store file is none).
bool NamesPackArchive(const std::string& argument);

// What the user named for `folder`: the archive a folder was unpacked from,
// else the folder itself.
std::string ShownPack(const std::string& folder);

// From now on SIGINT, SIGTERM, SIGHUP and SIGPIPE, where nothing else
// catches them, remove the private folders before they end the program.
void RemovePrivateFoldersOnSignals();

}  // namespace kestrel::cli
