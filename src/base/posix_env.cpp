// The machine's own Env on POSIX: folders, listings and kinds of entries
// through std::filesystem; files through file descriptors (opened without
// following a link) with a write buffer of our own; the local clock, the
// process environment, the account database and child processes started with
// posix_spawn.
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "kestrel/env.h"
#include "base/error.h"
#include "base/errors_ours.h"

extern char** environ;

namespace kestrel {
namespace {

// As large as the buffer a stream would keep: pack files are written in many
// short lines, and each trip to the kernel costs more than the copy.
constexpr size_t kWriteBufferSize = 1 << 16;
// A piece this long costs one trip either way: it goes out as it is, without
// a copy, and a file that is only given such pieces keeps no buffer.
constexpr size_t kWriteDirectly = 1 << 14;

namespace fs = std::filesystem;

// A folder, or a link to one.
bool IsDir(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

// A missing parent folder is "Path not found", a missing file "File not found".
[[noreturn]] void RaiseOpen(int err, const std::string& path) {
  if (err == ENOENT) {
    auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !IsDir(path.substr(0, slash))) RaiseErrno(err, true, path);
  }
  RaiseErrno(err, false, path);
}

[[noreturn]] void RaiseNotRegular(const std::string& path) {
  Raise(Ours::NotARegularFile, std::string(DefaultText(Ours::NotARegularFile)) + ": " + path);
}

// The names of the folder's entries that `keep` takes; an entry whose kind
// cannot be told is left out.
template <typename Keep>
std::vector<std::string> ListEntries(const std::string& folder, Keep keep) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) RaiseErrno(ec.value(), true, folder);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code kind;
    if (!keep(*it, kind)) continue;
    // The entry's path is the folder's and the name: the name is after the last "/".
    const std::string& path = it->path().native();
    names.push_back(path.substr(path.rfind('/') + 1));
  }
  return names;
}

// Writes all of `size` bytes, going on after a short write the way the
// kernel allows; the first failure raises with what was written in the file,
// naming `path`.
void WriteAll(int fd, const char* data, size_t size, const std::string& path) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseErrno(errno, false, path);
    }
    if (n == 0) RaiseErrno(EIO, false, path);
    data += n;
    size -= static_cast<size_t>(n);
  }
}

class PosixWritableFile final : public WritableFile {
 public:
  // The buffer takes its room with the first short append: a writer that
  // hands over only large pieces (an export's files) never needs it.
  PosixWritableFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixWritableFile() override {
    if (fd_ < 0) return;
    try {
      WriteBuffer();
    } catch (const ComError&) {
      // Nobody is left to hear of it; Close reports it to a caller who asks.
    }
    ::close(fd_);
  }
  PosixWritableFile(const PosixWritableFile&) = delete;
  PosixWritableFile& operator=(const PosixWritableFile&) = delete;

  void Append(std::string_view data) override {
    if (data.size() >= kWriteDirectly) {
      WriteBuffer();
      WriteAll(fd_, data.data(), data.size(), path_);
      return;
    }
    if (buffer_.size() + data.size() > kWriteBufferSize) WriteBuffer();
    if (buffer_.capacity() < kWriteBufferSize) buffer_.reserve(kWriteBufferSize);
    buffer_.append(data);
  }

  void Flush() override { WriteBuffer(); }

  void Close() override {
    if (fd_ < 0) return;
    int fd = fd_;
    fd_ = -1;
    try {
      WriteBuffer(fd);
    } catch (const ComError&) {
      ::close(fd);
      throw;
    }
    if (::close(fd) != 0) RaiseErrno(errno, false, path_);
  }

 private:
  void WriteBuffer() { WriteBuffer(fd_); }
  // Bytes that failed to go out are dropped: writing them again at the next
  // flush would only fail again, or put them after what came later.
  void WriteBuffer(int fd) {
    if (buffer_.empty()) return;
    std::string pending;
    pending.swap(buffer_);
    WriteAll(fd, pending.data(), pending.size(), path_);
    pending.clear();
    buffer_.swap(pending);  // its room serves the next appends
  }

  int fd_;
  std::string path_;
  std::string buffer_;
};

class PosixSequentialFile final : public SequentialFile {
 public:
  PosixSequentialFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixSequentialFile() override { ::close(fd_); }
  PosixSequentialFile(const PosixSequentialFile&) = delete;
  PosixSequentialFile& operator=(const PosixSequentialFile&) = delete;

  size_t Read(char* buffer, size_t size) override {
    for (;;) {
      ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR) RaiseErrno(errno, false, path_);
    }
  }

 private:
  int fd_;
  std::string path_;
};

// flock's lock: it belongs to the open file, so that the kernel lets go of
// it when the process ends, and a second open of the file, in this process
// or another, cannot take it meanwhile.
class PosixFileLock final : public FileLock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}
  ~PosixFileLock() override { ::close(fd_); }
  PosixFileLock(const PosixFileLock&) = delete;
  PosixFileLock& operator=(const PosixFileLock&) = delete;

 private:
  int fd_;
};

class PosixEnv final : public Env {
 public:
  bool FolderExists(const std::string& path) override { return !path.empty() && IsDir(path); }

  bool FileExists(const std::string& path) override {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
  }

  bool CreateFolder(const std::string& path) override {
    std::error_code ec;
    if (fs::create_directory(path, ec)) return true;
    // A folder, a file or a link of the name: nothing was done.
    if (!ec || ec.value() == EEXIST) return false;
    RaiseErrno(ec.value(), true, path);
  }

  void DeleteFile(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) RaiseOpen(errno, path);
  }

  void DeleteFolder(const std::string& path) override {
    if (::rmdir(path.c_str()) != 0) RaiseErrno(errno, errno == ENOENT, path);
  }

  EntryKind KindOf(const std::string& path) override {
    std::error_code ec;
    switch (fs::symlink_status(path, ec).type()) {
      case fs::file_type::none:
      case fs::file_type::not_found: return EntryKind::Missing;
      case fs::file_type::regular: return EntryKind::File;
      case fs::file_type::directory: return EntryKind::Folder;
      case fs::file_type::symlink: return EntryKind::Link;
      default: return EntryKind::Other;
    }
  }

  std::optional<FileStamp> StampOf(const std::string& path) override {
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    constexpr int64_t kBillion = 1000000000;
    // File times advance in ticks of the kernel's clock (milliseconds);
    // two seconds leave room for any file system's tick.
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    if (std::chrono::duration_cast<std::chrono::seconds>(now).count() - st.st_ctim.tv_sec < 2) return std::nullopt;
    return FileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                     static_cast<uint64_t>(st.st_size), st.st_mtim.tv_sec * kBillion + st.st_mtim.tv_nsec,
                     st.st_ctim.tv_sec * kBillion + st.st_ctim.tv_nsec};
  }

  void RenameFile(const std::string& from, const std::string& to) override {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) RaiseOpen(ec.value(), from);
  }

  void RenameFolder(const std::string& from, const std::string& to, FolderRename how) override {
    const unsigned flags = how == FolderRename::Exchange ? RENAME_EXCHANGE : RENAME_NOREPLACE;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags) == 0) return;
    const int err = errno;
    // A file system without these renames (some network ones).
    if (err == EINVAL || err == ENOSYS) return RenameFolderInSteps(from, to, how);
    if (err == EEXIST) RaiseRuntime(rt::FileAlreadyExists, to);
    RaiseErrno(err, true, from);
  }

  // A link to a regular file counts as one, as FileExists has it.
  std::vector<std::string> ListFiles(const std::string& folder) override {
    return ListEntries(folder, [](const fs::directory_entry& e, std::error_code& ec) { return e.is_regular_file(ec); });
  }

  std::vector<std::string> ListFolders(const std::string& folder) override {
    return ListEntries(folder, [](const fs::directory_entry& e, std::error_code& ec) {
      return !e.is_symlink(ec) && e.is_directory(ec);
    });
  }

  // Locked under a name of its own first, then linked to `path`: the lock
  // goes with the open file, so the file is never seen unlocked there.
  std::unique_ptr<FileLock> CreateLockedFile(const std::string& path) override {
    const std::string making = path + ".new";
    int fd = ::open(making.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) RaiseOpen(errno, making);
    auto lock = std::make_unique<PosixFileLock>(fd);
    const bool made = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::link(making.c_str(), path.c_str()) == 0;
    const int err = errno;
    ::unlink(making.c_str());
    if (!made) RaiseErrno(err, false, path);
    return lock;
  }

  std::unique_ptr<FileLock> TryLockFile(const std::string& path) override {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return nullptr;
    auto lock = std::make_unique<PosixFileLock>(fd);
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) return nullptr;
    return lock;
  }

  std::unique_ptr<WritableFile> OpenForWriting(const std::string& path, WriteMode mode) override {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == WriteMode::Append ? O_APPEND : O_TRUNC);
    int fd = ::open(path.c_str(), flags, mode == WriteMode::ReplacePrivate ? 0600 : 0666);
    if (fd < 0) RaiseOpen(errno, path);
    // A file that existed keeps its mode through open: narrow it first.
    if (mode == WriteMode::ReplacePrivate && ::fchmod(fd, 0600) != 0) {
      int err = errno;
      ::close(fd);
      RaiseErrno(err, false, path);
    }
    return std::make_unique<PosixWritableFile>(fd, path);
  }

  std::unique_ptr<SequentialFile> OpenForReading(const std::string& path) override {
    // Without waiting for a writer should the path be a FIFO; regular files
    // read the same either way.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
      if (errno == ELOOP && KindOf(path) == EntryKind::Link) RaiseNotRegular(path);
      RaiseOpen(errno, path);
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      const bool folder = S_ISDIR(st.st_mode);
      ::close(fd);
      if (folder) RaiseErrno(EISDIR, false, path);
      RaiseNotRegular(path);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return std::make_unique<PosixSequentialFile>(fd, path);
  }

  DateTime Now() override {
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  }

  std::string Variable(const std::string& name) override {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
  }

  std::string ProgramFolder() override {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec || !self.has_parent_path()) return ".";
    return self.parent_path().string();
  }

  std::string AccountName() override {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw && pw->pw_name ? pw->pw_name : "";
  }

  std::string AccountHome() override {
    const passwd* pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
  }

  ChildOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          size_t output_kept) override;

 private:
  // The same with plain renames: a reader may find no folder at `to` for a
  // moment, but never a mix of the two.
  void RenameFolderInSteps(const std::string& from, const std::string& to, FolderRename how);
};

void PosixEnv::RenameFolderInSteps(const std::string& from, const std::string& to, FolderRename how) {
  auto rename = [](const std::string& a, const std::string& b) {
    if (::rename(a.c_str(), b.c_str()) != 0) RaiseErrno(errno, true, a);
  };
  if (how == FolderRename::NoReplace) {
    if (KindOf(to) != EntryKind::Missing) RaiseRuntime(rt::FileAlreadyExists, to);
    return rename(from, to);
  }
  if (KindOf(to) != EntryKind::Folder) RaiseErrno(ENOENT, true, to);
  const std::string aside = from + ".aside";
  rename(to, aside);
  try {
    rename(from, to);
  } catch (...) {
    ::rename(aside.c_str(), to.c_str());
    throw;
  }
  rename(aside, from);
}

ChildOutcome PosixEnv::RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                                  size_t output_kept) {
  std::vector<std::string> argv_text;
  argv_text.reserve(arguments.size() + 1);
  argv_text.push_back(program);
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) RaiseErrno(errno);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  pid_t pid = 0;
  const bool search_path = program.find('/') == std::string::npos;
  int rc = search_path ? ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                       : ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (rc != 0) {
    ::close(pipe_fds[0]);
    RaiseErrno(rc, false, program);
  }

  ChildOutcome o;
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(pipe_fds[0], buf, sizeof buf);
    if (n > 0) {
      o.output.append(buf, static_cast<size_t>(n));
      if (o.output.size() > 2 * output_kept) o.output.erase(0, o.output.size() - output_kept);
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  ::close(pipe_fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) RaiseErrno(errno);
  if (WIFEXITED(status)) {
    o.status = WEXITSTATUS(status);
  } else {
    o.signaled = true;
    o.status = WIFSIGNALED(status) ? WTERMSIG(status) : -1;
  }
  return o;
}

}  // namespace

Env& Env::Default() {
  static PosixEnv env;
  return env;
}

}  // namespace kestrel
