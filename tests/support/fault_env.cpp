// The test Env's faults: which append fails, how much room the disk has, and
// which read of a file fails.
#include "support/fault_env.h"

#include <algorithm>
#include <utility>

#include "base/error.h"

namespace kestrel::testing {
namespace {

// A file of the base Env whose appends pass through the FaultEnv first.
class FaultFile final : public kestrel::WritableFile {
 public:
  FaultFile(FaultEnv& env, std::unique_ptr<kestrel::WritableFile> base, std::string path)
      : env_(env), base_(std::move(base)), path_(std::move(path)) {}
  void Append(std::string_view data) override { env_.Append(*base_, data, path_); }
  void Flush() override { base_->Flush(); }
  void Close() override { base_->Close(); }

 private:
  FaultEnv& env_;
  std::unique_ptr<kestrel::WritableFile> base_;
  std::string path_;
};

// A file of the base Env that raises errno `err` once `bytes` bytes are read.
class FailingRead final : public kestrel::SequentialFile {
 public:
  FailingRead(std::unique_ptr<kestrel::SequentialFile> base, size_t bytes, int err)
      : base_(std::move(base)), left_(bytes), err_(err) {}
  size_t Read(char* buffer, size_t size) override {
    if (left_ == 0) kestrel::RaiseErrno(err_);
    const size_t n = base_->Read(buffer, std::min(size, left_));
    left_ -= n;
    return n;
  }

 private:
  std::unique_ptr<kestrel::SequentialFile> base_;
  size_t left_;
  int err_;
};

// The openings of files whose path ends in `name`, of those counted by path.
size_t OpeningsOf(const std::map<std::string, size_t>& openings, const std::string& name) {
  size_t count = 0;
  for (const auto& [path, n] : openings)
    if (path.ends_with(name)) count += n;
  return count;
}

}  // namespace

void FaultEnv::FailRead(std::string name, size_t n, size_t bytes, int err) {
  std::lock_guard lock(mutex_);
  read_fails_at_ = OpeningsOf(openings_, name) + n;
  read_name_ = std::move(name);
  read_bytes_ = bytes;
  read_errno_ = err;
}

std::unique_ptr<kestrel::SequentialFile> FaultEnv::OpenForReading(const std::string& path) {
  std::unique_ptr<kestrel::SequentialFile> file = target().OpenForReading(path);
  std::lock_guard lock(mutex_);
  ++openings_[path];
  if (read_name_.empty() || !path.ends_with(read_name_) || OpeningsOf(openings_, read_name_) != read_fails_at_)
    return file;
  return std::make_unique<FailingRead>(std::move(file), read_bytes_, read_errno_);
}

size_t FaultEnv::Openings(const std::string& name) const {
  std::lock_guard lock(mutex_);
  return OpeningsOf(openings_, name);
}

void FaultEnv::FailWrite(size_t n, int err) {
  std::lock_guard lock(mutex_);
  fail_at_ = n == 0 ? 0 : appends_ + n;
  fail_errno_ = err;
}

std::unique_ptr<kestrel::WritableFile> FaultEnv::OpenForWriting(const std::string& path, kestrel::WriteMode mode) {
  return std::make_unique<FaultFile>(*this, target().OpenForWriting(path, mode), path);
}

void FaultEnv::RenameFolder(const std::string& from, const std::string& to, kestrel::FolderRename how) {
  if (const std::optional<int> err = std::exchange(rename_errno_, std::nullopt)) kestrel::RaiseErrno(*err);
  target().RenameFolder(from, to, how);
}

std::string FaultEnv::Variable(const std::string& name) {
  auto it = variables_.find(name);
  return it == variables_.end() ? std::string() : it->second;
}

void FaultEnv::Append(kestrel::WritableFile& file, std::string_view data, const std::string& path) {
  std::lock_guard lock(mutex_);
  ++appends_;
  if (appends_ == fail_at_) kestrel::RaiseErrno(fail_errno_);
  if (!path.starts_with(disk_)) return file.Append(data);
  if (room_ && data.size() > *room_) {
    file.Append(data.substr(0, *room_));
    room_ = 0;
    kestrel::RaiseErrno(ENOSPC);
  }
  if (room_) *room_ -= data.size();
  file.Append(data);
}

}  // namespace kestrel::testing
