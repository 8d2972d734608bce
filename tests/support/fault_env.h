// A test Env over another one (by default the machine's own) that makes the
// n-th write fail, fills the disk after a number of bytes, fixes the time and
// holds the environment variables a test gives it (the process's own, and its
// account, are not seen). Everything else is the other Env's. The other
// Env must outlive this one, and this one every file object it hands out.
#pragma once

#include <cerrno>
#include <cstddef>
#include <map>
#include <memory>
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
  // one, as a full disk does.
  void FillDiskAfter(size_t bytes) { room_ = bytes; }
  void FixTime(const kestrel::DateTime& time) { time_ = time; }
  // The only variables this Env has; the process environment is not seen.
  void SetVariable(const std::string& name, std::string value) { variables_[name] = std::move(value); }
  // Appends to files of this Env so far, failed ones included.
  size_t appends() const { return appends_; }

  std::unique_ptr<kestrel::WritableFile> OpenForWriting(const std::string& path,
                                                         kestrel::WriteMode mode) override;
  kestrel::DateTime Now() override { return time_ ? *time_ : target().Now(); }
  std::string Variable(const std::string& name) override;
  // No account runs the program: nothing of the tester's home is seen.
  std::string AccountName() override { return ""; }
  std::string AccountHome() override { return ""; }

  // What the files of this Env call for each append: hands `file` the part
  // of `data` that goes through, then raises the fault that is due.
  void Append(kestrel::WritableFile& file, std::string_view data);

 private:
  size_t appends_ = 0;
  size_t fail_at_ = 0;  // 0: no append fails
  int fail_errno_ = EIO;
  std::optional<size_t> room_;
  std::optional<kestrel::DateTime> time_;
  std::map<std::string, std::string> variables_;
};

}  // namespace kestrel::testing
