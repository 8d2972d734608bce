// The test Env's faults: which append fails, and how much room the disk has.
#include "support/fault_env.h"

#include "base/error.h"

namespace kestrel::testing {
namespace {


// A file of the base Env whose appends pass through the FaultEnv first.
class FaultFile final : public kestrel::WritableFile {
 public:
  FaultFile(FaultEnv& env, std::unique_ptr<kestrel::WritableFile> base) : env_(env), base_(std::move(base)) {}
  void Append(std::string_view data) override { env_.Append(*base_, data); }
  void Flush() override { base_->Flush(); }
  void Close() override { base_->Close(); }

 private:
  FaultEnv& env_;
  std::unique_ptr<kestrel::WritableFile> base_;
};

}  // namespace

void FaultEnv::FailWrite(size_t n, int err) {
  fail_at_ = n == 0 ? 0 : appends_ + n;
  fail_errno_ = err;
}

std::unique_ptr<kestrel::WritableFile> FaultEnv::OpenForWriting(const std::string& path, kestrel::WriteMode mode) {
  return std::make_unique<FaultFile>(*this, target().OpenForWriting(path, mode));
}

std::string FaultEnv::Variable(const std::string& name) {
  auto it = variables_.find(name);
  return it == variables_.end() ? std::string() : it->second;
}

void FaultEnv::Append(kestrel::WritableFile& file, std::string_view data) {
  ++appends_;
  if (appends_ == fail_at_) kestrel::RaiseErrno(fail_errno_);
  if (room_ && data.size() > *room_) {
    file.Append(data.substr(0, *room_));
    room_ = 0;
    kestrel::RaiseErrno(ENOSPC);
  }
  if (room_) *room_ -= data.size();
  file.Append(data);
}

}  // namespace kestrel::testing
