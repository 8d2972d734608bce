// Measuring a pack's files while they are written.
#include "pack/measuring_env.h"

#include <utility>

namespace kestrel::pack {

// Hands every byte to the wrapped file first, then to the measure: a byte the
// file refused is not counted, and a file whose Close failed keeps no measure.
class MeasuringEnv::MeasuringFile : public WritableFile {
 public:
  // `whole`: the file was empty when opened, so its bytes are the ones written.
  MeasuringFile(MeasuringEnv& owner, std::string path, std::unique_ptr<WritableFile> inner, bool whole)
      : owner_(owner), path_(std::move(path)), inner_(std::move(inner)), whole_(whole) {}
  ~MeasuringFile() override {
    if (open_) owner_.Closed(path_, std::nullopt);
  }
  void Append(std::string_view data) override {
    try {
      inner_->Append(data);
    } catch (...) {
      whole_ = false;
      throw;
    }
    if (whole_) builder_.Add(data);
  }
  void Flush() override { inner_->Flush(); }
  void Close() override {
    if (!open_) return inner_->Close();
    open_ = false;
    try {
      inner_->Close();
    } catch (...) {
      owner_.Closed(path_, std::nullopt);
      throw;
    }
    owner_.Closed(path_, whole_ ? std::optional<FileSum>(builder_.Finish({})) : std::nullopt);
  }

 private:
  MeasuringEnv& owner_;
  const std::string path_;
  std::unique_ptr<WritableFile> inner_;
  SumBuilder builder_;
  bool open_ = true;
  bool whole_ = true;
};

std::optional<FileSum> MeasuringEnv::Measured(const std::string& path) const {
  const auto it = files_.find(path);
  if (it == files_.end() || it->second.writers > 0 || it->second.crossed) return std::nullopt;
  return it->second.sum;
}

void MeasuringEnv::ForgetClosed() {
  std::erase_if(files_, [](const auto& entry) { return entry.second.writers == 0; });
}

void MeasuringEnv::Forget(const std::string& path) {
  const auto it = files_.find(path);
  if (it == files_.end()) return;
  it->second.sum.reset();
  if (it->second.writers > 0) it->second.crossed = true;
}

void MeasuringEnv::DeleteFile(const std::string& path) {
  Forget(path);
  target().DeleteFile(path);
}

void MeasuringEnv::RenameFile(const std::string& from, const std::string& to) {
  Forget(from);
  Forget(to);
  target().RenameFile(from, to);
}

std::unique_ptr<WritableFile> MeasuringEnv::OpenForWriting(const std::string& path, WriteMode mode) {
  Forget(path);
  std::unique_ptr<WritableFile> file = target().OpenForWriting(path, mode);
  Entry& entry = files_[path];
  if (entry.writers == 0) entry.crossed = false;
  ++entry.writers;
  // Bytes added to a file already there are not the whole file: it keeps no
  // measure, but its writer counts while it is open.
  return std::make_unique<MeasuringFile>(*this, path, std::move(file), mode != WriteMode::Append);
}

void MeasuringEnv::Closed(const std::string& path, std::optional<FileSum> sum) {
  Entry& entry = files_[path];
  --entry.writers;
  entry.sum = entry.crossed ? std::nullopt : std::move(sum);
}

}  // namespace kestrel::pack
