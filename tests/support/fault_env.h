// A test Env over another one (by default the machine's own) that makes the
// n-th write fail, fills the disk after a number of bytes, makes a read of a
// file fail part of the way through, fixes the time and
// holds the environment variables a test gives it (the process's own, and its
// account, are not seen). Everything else is the other Env's. The other
// Env must outlive this one, and this one every file object it hands out.
// Files of it may be written from two threads at once (a pack's files are
// written behind the export): the count of appends is kept under a lock.
#pragma once

#include <cerrno>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/env.h"

namespace kestrel::testing {

class FaultEnv : public kestrel::EnvWrapper {
 public:
  explicit FaultEnv(kestrel::Env& base = Env::Default()) : EnvWrapper(base) {}

  // The n-th append from now on (1: the next one), to any file of this Env,
  // writes nothing and raises errno `err`, as a failing device does. Appends
  // before and after it go through.
  void FailWrite(size_t n, int err = EIO);
  // Leaves room for `bytes` more bytes on the disk: the append that goes
  // beyond them writes what fits and raises ENOSPC, and so does every later
  // one, as a full disk does. With `below`, only files whose path starts
  // with it are on that disk.
  void FillDiskAfter(size_t bytes, std::string below = "") {
    std::lock_guard lock(mutex_);
    room_ = bytes;
    disk_ = std::move(below);
  }
  // The n-th opening from now on (1: the next) of a file whose name ends in
  // `name` reads `bytes` bytes, then raises errno `err`, as a failing device
  // does. The count of openings goes on from one call to the next.
  void FailRead(std::string name, size_t n, size_t bytes, int err = EIO);
  // The next folder rename (RenameFolder) raises errno `err` and renames
  // nothing, as a failing file system does; the ones after it go through.
  void FailFolderRename(int err) { rename_errno_ = err; }
  void RenameFolder(const std::string& from, const std::string& to, kestrel::FolderRename how) override;
  void FixTime(const kestrel::DateTime& time) { time_ = time; }
  // The only variables this Env has; the process environment is not seen.
  void SetVariable(const std::string& name, std::string value) { variables_[name] = std::move(value); }
  // Openings for reading so far of files whose path ends in `name`.
  size_t Openings(const std::string& name) const;

  std::unique_ptr<kestrel::WritableFile> OpenForWriting(const std::string& path,
                                                         kestrel::WriteMode mode) override;
  std::unique_ptr<kestrel::SequentialFile> OpenForReading(const std::string& path) override;
  kestrel::DateTime Now() override { return time_ ? *time_ : target().Now(); }
  std::string Variable(const std::string& name) override;
  // No account runs the program: nothing of the tester's home is seen.
  std::string AccountName() override { return ""; }
  std::string AccountHome() override { return ""; }

  // What the files of this Env call for each append: hands `file` the part
  // of `data` that goes through, then raises the fault that is due.
  void Append(kestrel::WritableFile& file, std::string_view data, const std::string& path);

 private:
  mutable std::mutex mutex_;
  size_t appends_ = 0;
  size_t fail_at_ = 0;  // 0: no append fails
  int fail_errno_ = EIO;
  std::optional<size_t> room_;
  std::string disk_;  // where room_ counts: files below it ("": all)
  std::map<std::string, size_t> openings_;  // by path
  std::string read_name_;                   // empty: no read fails
  size_t read_fails_at_ = 0, read_bytes_ = 0;  // which opening, after how many bytes
  int read_errno_ = EIO;
  std::optional<int> rename_errno_;
  std::optional<kestrel::DateTime> time_;
  std::map<std::string, std::string> variables_;
};

}  // namespace kestrel::testing
