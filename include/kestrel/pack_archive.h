// A logic pack as one file: a POSIX tar archive of the pack folder's files
// (compressed with zstd when its name ends in ".zst"), written the same way
// every time, so that two exports of one profile differ only where their
// manifests' dates do; and the one place where a pack argument, a folder or
// such an archive (a file, or "-" for standard input), becomes a folder the
// readers of packs take.
//
// An archive is unpacked into a private folder (mkdtemp under $TMPDIR) and
// nowhere else: an entry whose name is a path ("..", absolute, a sub-folder),
// a link (symbolic or hard), a device, a FIFO, a folder, or a name taken
// already (also without regard to case, as pack files are matched) is
// refused naming the entry, and so is an archive that unpacks to more than
// the limits. The folder goes with its PackSource, however the command ends;
// a program that ends on a signal calls RemovePrivateFoldersNow first. The
// unpacked pack is then read as a folder pack is, its ExportMR.sums included.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kestrel/env.h"
#include "kestrel/export.h"

namespace kestrel {

// What an archive may unpack to at most: far above any pack's size, low
// enough that a hostile archive cannot fill the temporary folder's disk or
// its folder.
struct PackArchiveLimits {
  uint64_t total_bytes = uint64_t{16} << 30;
  uint64_t entries = 10000;
};

// A folder of its own under $TMPDIR (else /tmp), only its owner may enter,
// removed with everything in it when the object goes, and by
// RemovePrivateFoldersNow while it lives. Raises Ours::PrivateFolderFailed.
class KESTREL_API PrivateFolder {
 public:
  explicit PrivateFolder(Env& env, std::string_view prefix = "kestrel-pack");
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int slot_ = -1;
};

// Removes every PrivateFolder of the process with what it holds, using only
// calls a signal handler may make: for a handler that then ends the program.
KESTREL_API void RemovePrivateFoldersNow() noexcept;

// Raises Ours::PackArchiveExists when `file` names something that is there
// and `overwrite` is false ("-", standard output, never is), and
// Ours::PackArchiveWriteFailed for "-" when standard output is a terminal.
KESTREL_API void CheckPackArchiveTarget(const std::string& file, bool overwrite);

// Writes the regular files of the pack folder `folder`, in the byte order of
// their names (the order ExportMR.sums lists them), into the archive `file`
// ("-": standard output), checked first as CheckPackArchiveTarget does.
// Every entry has mode 0644, owner and group 0 without names and one fixed
// time. A file is written under a temporary name beside it and renamed into
// place at the end, replacing an existing one only with `overwrite`. Raises
// Ours::PackArchiveWriteFailed naming the file and the cause.
KESTREL_API void WritePackArchive(Env& env, const std::string& folder, const std::string& file, bool overwrite);

// Whether the start of `path` is that of a tar or zstd archive: how a side of
// a diff tells an archive from a store file.
KESTREL_API bool LooksLikePackArchive(const std::string& path);

// A pack as the readers take it: `argument` names a pack folder (taken as it
// is: a missing one fails where it is read, as it always did), an archive
// file, or "-" for an archive on standard input. Anything there that is not
// a folder is read as an archive and unpacked, into a folder named after the
// archive without ".zst" and ".tar" inside a PrivateFolder. Raises
// Ours::PackArchiveUnreadable, PackArchiveEntryRefused, PackArchiveTooLarge
// or PrivateFolderFailed, naming the archive and the entry.
class KESTREL_API PackSource {
 public:
  PackSource(Env& env, const std::string& argument, const PackArchiveLimits& limits = {});
  ~PackSource();
  PackSource(const PackSource&) = delete;
  PackSource& operator=(const PackSource&) = delete;

  const std::string& folder() const { return folder_; }
  bool from_archive() const { return unpacked_ != nullptr; }

 private:
  std::string folder_;
  std::unique_ptr<PrivateFolder> unpacked_;
};

}  // namespace kestrel
