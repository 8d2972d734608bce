// A logic pack as one tar archive: its writer, and its reader into a private
// folder (kestrel/pack_archive.h says what each refuses).
#include "pack/archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <random>
#include <system_error>
#include <vector>

#include <fmt/format.h>

#include "base/errors_ours.h"
#include "base/text.h"
#include "kestrel/modules.h"

namespace kestrel {
namespace {

// libarchive's functions, loaded by name the first time a pack archive is
// read or written, not linked: a run that meets no archive never loads the
// library and those it brings (some 1.7 MiB of an export's or an import's
// peak memory).
#define KESTREL_ARCHIVE_FUNCTIONS(X) \
    X(archive_entry_clear) X(archive_entry_filetype) X(archive_entry_free) X(archive_entry_hardlink) \
    X(archive_entry_new) X(archive_entry_pathname) X(archive_entry_set_filetype) X(archive_entry_set_gid) \
    X(archive_entry_set_mtime) X(archive_entry_set_pathname) X(archive_entry_set_perm) X(archive_entry_set_size) \
    X(archive_entry_set_uid) X(archive_entry_size) X(archive_entry_size_is_set) X(archive_error_string) \
    X(archive_read_data) X(archive_read_free) X(archive_read_new) X(archive_read_next_header) \
    X(archive_read_open_fd) X(archive_read_open_filename) X(archive_read_open_memory) \
    X(archive_read_support_filter_none) X(archive_read_support_filter_zstd) X(archive_read_support_format_tar) \
    X(archive_write_add_filter_zstd) X(archive_write_close) X(archive_write_data) X(archive_write_finish_entry) \
    X(archive_write_free) X(archive_write_header) X(archive_write_new) X(archive_write_open_fd) \
    X(archive_write_set_bytes_in_last_block) X(archive_write_set_format_pax_restricted)

struct ArchiveLibrary {
#define KESTREL_ARCHIVE_POINTER(name) decltype(&::name) name = nullptr;
  KESTREL_ARCHIVE_FUNCTIONS(KESTREL_ARCHIVE_POINTER)
#undef KESTREL_ARCHIVE_POINTER
};

const ArchiveLibrary& Lib() {
  struct Loaded {
    ArchiveLibrary f;
    bool complete = true;
    std::string failure;
  };
  static const Loaded loaded = [] {
    Loaded l;
#define KESTREL_ARCHIVE_LOAD(name)                                                                        \
  l.f.name = reinterpret_cast<decltype(&::name)>(LoadSystemLibraryEntry(KESTREL_LIBARCHIVE_SONAME, #name, l.failure)); \
  l.complete = l.complete && l.f.name != nullptr;
    KESTREL_ARCHIVE_FUNCTIONS(KESTREL_ARCHIVE_LOAD)
#undef KESTREL_ARCHIVE_LOAD
    return l;
  }();
  if (!loaded.complete)
    RaiseWithDetail(Ours::Internal, "pack archives cannot be read or written: the archive library could not be "
                                    "loaded: " + loaded.failure);
  return loaded.f;
}

using ArchivePtr = std::unique_ptr<struct archive, int (*)(struct archive*)>;

// Every entry's time: a fixed one, so that the archive depends on the pack's
// bytes alone (the manifest carries the export's date).
constexpr time_t kEntryTime = 0;
constexpr size_t kBlock = 64 * 1024;

std::string ErrnoText(int number) { return std::system_category().message(number); }

std::string ArchiveText(struct archive* a) {
  const char* text = Lib().archive_error_string(a);
  return text != nullptr ? text : "unknown failure";
}

bool EndsWith(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// ---- Writing ----

[[noreturn]] void WriteFailed(const std::string& file, const std::string& cause) {
  RaiseWithDetail(Ours::PackArchiveWriteFailed, file + ": " + cause);
}

// The temporary file beside `file` that the archive is written into first:
// dot first, so that no reader takes it for an archive, created with the
// modes a new file gets (0666 less the umask).
int OpenBeside(const std::string& file, std::string& temporary) {
  std::random_device random;
  const size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : file.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = fmt::format("{}.{}.tmp-{:08x}", folder, name, random());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      if (fd < 0) WriteFailed(file, ErrnoText(errno));
      return fd;
    }
  }
  WriteFailed(file, "no free temporary name beside it");
}

// Puts the finished temporary file in the place of `file`: with `overwrite`
// in one rename, else only where nothing is there, also when something came
// while the archive was written.
void PutInPlace(const std::string& temporary, const std::string& file, bool overwrite) {
  int result = 0;
  if (overwrite) {
    result = ::rename(temporary.c_str(), file.c_str());
  } else {
    result = ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      result = ::link(temporary.c_str(), file.c_str());
      if (result == 0) ::unlink(temporary.c_str());
    }
  }
  if (result != 0) {
    const int cause = errno;
    ::unlink(temporary.c_str());
    if (cause == EEXIST) RaiseWithDetail(Ours::PackArchiveExists, file);
    WriteFailed(file, ErrnoText(cause));
  }
}

void WriteEntries(Env& env, struct archive* a, const std::string& folder, const std::string& shown) {
  std::vector<std::string> names = env.ListFiles(folder);
  std::sort(names.begin(), names.end());
  std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(Lib().archive_entry_new(), Lib().archive_entry_free);
  std::vector<char> buffer(kBlock);
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    Lib().archive_entry_clear(entry.get());
    Lib().archive_entry_set_pathname(entry.get(), name.c_str());
    Lib().archive_entry_set_filetype(entry.get(), AE_IFREG);
    Lib().archive_entry_set_perm(entry.get(), 0644);
    Lib().archive_entry_set_uid(entry.get(), 0);
    Lib().archive_entry_set_gid(entry.get(), 0);
    Lib().archive_entry_set_mtime(entry.get(), kEntryTime, 0);
    Lib().archive_entry_set_size(entry.get(), st.st_size);
    if (Lib().archive_write_header(a, entry.get()) != ARCHIVE_OK) WriteFailed(shown, name + ": " + ArchiveText(a));
    const auto in = env.OpenForReading(path);
    int64_t written = 0;
    for (size_t n; (n = in->Read(buffer.data(), buffer.size())) > 0; written += static_cast<int64_t>(n))
      if (Lib().archive_write_data(a, buffer.data(), n) != static_cast<la_ssize_t>(n))
        WriteFailed(shown, name + ": " + ArchiveText(a));
    // A file that changed size while it was read would leave a header that
    // lies about its data.
    if (written != st.st_size) WriteFailed(shown, name + ": the file changed while it was written");
    if (Lib().archive_write_finish_entry(a) != ARCHIVE_OK) WriteFailed(shown, name + ": " + ArchiveText(a));
  }
}

// ---- Reading ----

[[noreturn]] void Refuse(const std::string& shown, std::string_view entry, std::string_view why) {
  RaiseWithDetail(Ours::PackArchiveEntryRefused, fmt::format("{}: entry {}: {}", shown, QuoteForMessage(entry), why));
}

[[noreturn]] void Unreadable(const std::string& shown, std::string_view where, std::string_view cause) {
  RaiseWithDetail(Ours::PackArchiveUnreadable, fmt::format("{}{}: {}", shown, where, cause));
}

// Why an entry cannot be a file of a pack folder; "" when it can.
std::string_view WhyNotAPackFile(archive_entry* e, std::string_view name) {
  if (Lib().archive_entry_hardlink(e) != nullptr) return "a hard link";
  switch (Lib().archive_entry_filetype(e)) {
    case AE_IFREG: break;
    case AE_IFLNK: return "a symbolic link";
    case AE_IFDIR: return "a folder (a pack holds files only)";
    case AE_IFIFO: return "a FIFO";
    case AE_IFCHR:
    case AE_IFBLK: return "a device";
    default: return "not a regular file";
  }
  if (name.empty()) return "an empty name";
  if (name.front() == '/') return "an absolute path";
  if (name == "." || name == ".." || name.find("..") != std::string_view::npos) return "a path leading out with \"..\"";
  if (name.find_first_of("/\\") != std::string_view::npos) return "a path into a sub-folder (a pack holds files only)";
  for (const char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "a control character in the name";
  return {};
}

// Writes the entry's data into `path`, a new file; `total` counts every byte
// unpacked so far against the limit.
void UnpackEntry(struct archive* a, const std::string& path, const std::string& shown, std::string_view name,
                 uint64_t& total, const PackArchiveLimits& limits) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) RaiseWithDetail(Ours::PrivateFolderFailed, path + ": " + ErrnoText(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  std::vector<char> buffer(kBlock);
  for (;;) {
    const la_ssize_t n = Lib().archive_read_data(a, buffer.data(), buffer.size());
    if (n == 0) break;
    if (n < 0) Unreadable(shown, fmt::format(", entry {}", QuoteForMessage(name)), ArchiveText(a));
    total += static_cast<uint64_t>(n);
    if (total > limits.total_bytes)
      RaiseWithDetail(Ours::PackArchiveTooLarge,
                      fmt::format("{}: more than {} bytes at entry {}", shown, limits.total_bytes, QuoteForMessage(name)));
    for (la_ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(fd, buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) RaiseWithDetail(Ours::PrivateFolderFailed, path + ": " + ErrnoText(w < 0 ? errno : ENOSPC));
      done += w;
    }
  }
  if (::close(closer.fd) != 0) {
    closer.fd = -1;
    RaiseWithDetail(Ours::PrivateFolderFailed, path + ": " + ErrnoText(errno));
  }
  closer.fd = -1;
}

void Unpack(struct archive* a, const std::string& folder, const std::string& shown, const PackArchiveLimits& limits) {
  std::map<std::string, std::string> by_lower_name;  // each name taken, by its lower-case form
  uint64_t total = 0, entries = 0;
  for (;;) {
    archive_entry* e = nullptr;
    const int r = Lib().archive_read_next_header(a, &e);
    if (r == ARCHIVE_EOF) break;
    // A warning is a header libarchive had to guess at: refused as well.
    if (r != ARCHIVE_OK)
      Unreadable(shown, entries == 0 ? std::string() : fmt::format(", after {} entries", entries), ArchiveText(a));
    const char* raw = Lib().archive_entry_pathname(e);
    const std::string name = raw != nullptr ? raw : "";
    if (const std::string_view why = WhyNotAPackFile(e, name); !why.empty()) Refuse(shown, name, why);
    if (++entries > limits.entries)
      RaiseWithDetail(Ours::PackArchiveTooLarge, fmt::format("{}: more than {} entries", shown, limits.entries));
    const auto [taken, fresh] = by_lower_name.emplace(text::LowerAscii(name), name);
    if (!fresh)
      Refuse(shown, name,
             taken->second == name ? "a second entry of the same name"
                                   : fmt::format("the same name as entry {} without regard to case, as pack files "
                                                 "are matched",
                                                 QuoteForMessage(taken->second)));
    // A size the header declares beyond the limit is refused before a byte
    // is written (a sparse entry would otherwise fill the disk with zeros).
    if (Lib().archive_entry_size_is_set(e) != 0 && Lib().archive_entry_size(e) >= 0 &&
        static_cast<uint64_t>(Lib().archive_entry_size(e)) > limits.total_bytes - total)
      RaiseWithDetail(Ours::PackArchiveTooLarge,
                      fmt::format("{}: more than {} bytes at entry {}", shown, limits.total_bytes, QuoteForMessage(name)));
    UnpackEntry(a, folder + "/" + name, shown, name, total, limits);
  }
}

ArchivePtr NewReader() {
  ArchivePtr a(Lib().archive_read_new(), Lib().archive_read_free);
  if (!a) throw std::bad_alloc();
  // Tar only (the formats that come with it: ustar, pax, GNU), plain or
  // zstd: nothing else is read, so nothing else can be attacked.
  Lib().archive_read_support_format_tar(a.get());
  Lib().archive_read_support_filter_none(a.get());
  Lib().archive_read_support_filter_zstd(a.get());
  return a;
}

}  // namespace

namespace pack {

std::string UnpackedPackName(std::string_view argument) {
  std::string_view name = argument;
  if (const size_t slash = name.rfind('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
  if (EndsWith(name, ".zst")) name.remove_suffix(4);
  if (EndsWith(name, ".tar")) name.remove_suffix(4);
  if (argument == "-" || name.empty() || name == "." || name == "..") return "pack";
  return std::string(name);
}

void UnpackArchive(std::string_view data, const std::string& folder, const std::string& shown,
                   const PackArchiveLimits& limits) {
  ArchivePtr a = NewReader();
  if (Lib().archive_read_open_memory(a.get(), data.data(), data.size()) != ARCHIVE_OK)
    Unreadable(shown, "", ArchiveText(a.get()));
  Unpack(a.get(), folder, shown, limits);
}

}  // namespace pack

void CheckPackArchiveTarget(const std::string& file, bool overwrite) {
  if (file == "-" && ::isatty(STDOUT_FILENO))
    WriteFailed("standard output", "a terminal takes no archive; redirect it into a file or a pipe");
  struct stat st {};
  if (!overwrite && file != "-" && ::lstat(file.c_str(), &st) == 0) RaiseWithDetail(Ours::PackArchiveExists, file);
}

void WritePackArchive(Env& env, const std::string& folder, const std::string& file, bool overwrite) {
  const bool to_stdout = file == "-";
  const std::string shown = to_stdout ? std::string("standard output") : file;
  CheckPackArchiveTarget(file, overwrite);
  std::string temporary;
  const int fd = to_stdout ? STDOUT_FILENO : OpenBeside(file, temporary);
  try {
    ArchivePtr a(Lib().archive_write_new(), Lib().archive_write_free);
    if (!a) throw std::bad_alloc();
    // ustar headers, pax ones only where ustar cannot say it (a file over
    // 8 GiB): the same bytes for the same pack, read by every tar.
    Lib().archive_write_set_format_pax_restricted(a.get());
    if (EndsWith(file, ".zst") && Lib().archive_write_add_filter_zstd(a.get()) != ARCHIVE_OK)
      WriteFailed(shown, ArchiveText(a.get()));
    // Unpadded after the end-of-archive records, whatever the output is
    // (libarchive pads a pipe's or device's last block otherwise): standard
    // output and a file get the same bytes.
    Lib().archive_write_set_bytes_in_last_block(a.get(), 1);
    if (Lib().archive_write_open_fd(a.get(), fd) != ARCHIVE_OK) WriteFailed(shown, ArchiveText(a.get()));
    WriteEntries(env, a.get(), folder, shown);
    if (Lib().archive_write_close(a.get()) != ARCHIVE_OK) WriteFailed(shown, ArchiveText(a.get()));
    if (!to_stdout && ::fsync(fd) != 0) WriteFailed(shown, ErrnoText(errno));
  } catch (...) {
    if (!to_stdout) {
      ::close(fd);
      ::unlink(temporary.c_str());
    }
    throw;
  }
  if (to_stdout) return;
  if (::close(fd) != 0) {
    const int cause = errno;
    ::unlink(temporary.c_str());
    WriteFailed(shown, ErrnoText(cause));
  }
  PutInPlace(temporary, file, overwrite);
}

bool LooksLikePackArchive(const std::string& path) {
  // Only a regular file is looked into: reading a FIFO would take its bytes.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  char head[512] = {};
  const ssize_t n = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::read(fd, head, sizeof head) : 0;
  ::close(fd);
  if (n >= 4 && std::string_view(head, 4) == "\x28\xB5\x2F\xFD") return true;  // zstd
  return n == 512 && std::string_view(head + 257, 5) == "ustar";
}

PackSource::PackSource(Env& env, const std::string& argument, const PackArchiveLimits& limits) {
  struct stat st {};
  if (argument != "-" && (::stat(argument.c_str(), &st) != 0 || S_ISDIR(st.st_mode))) {
    folder_ = argument;
    return;
  }
  const std::string shown = argument == "-" ? std::string("standard input") : argument;
  if (argument == "-" && ::isatty(STDIN_FILENO)) Unreadable(shown, "", "a terminal gives no archive; pipe one in");
  auto unpacked = std::make_unique<PrivateFolder>(env);
  folder_ = unpacked->path() + "/" + pack::UnpackedPackName(argument);
  if (::mkdir(folder_.c_str(), 0700) != 0) RaiseWithDetail(Ours::PrivateFolderFailed, folder_ + ": " + ErrnoText(errno));
  ArchivePtr a = NewReader();
  const int opened = argument == "-" ? Lib().archive_read_open_fd(a.get(), STDIN_FILENO, kBlock)
                                     : Lib().archive_read_open_filename(a.get(), argument.c_str(), kBlock);
  if (opened != ARCHIVE_OK) Unreadable(shown, "", ArchiveText(a.get()));
  Unpack(a.get(), folder_, shown, limits);
  unpacked_ = std::move(unpacked);
}

PackSource::~PackSource() = default;

}  // namespace kestrel
