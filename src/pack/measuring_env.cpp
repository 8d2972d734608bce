// Measuring a pack's files while they are written.
#include "pack/measuring_env.h"

#include <utility>

namespace kestrel::pack {

namespace {

// A piece goes to the second thread once it holds more than this: enough
// that the wrapped file writes it out without another copy, little enough
// that the many files an export keeps open at once cost little memory.
constexpr size_t kPiece = 1 << 14;
// Room for a piece and the record that takes it past kPiece.
constexpr size_t kPieceRoom = kPiece + kPiece / 4;
// Pieces waiting at a time, over all files: enough to ride out the disk's
// pauses, few enough that memory stays flat.
constexpr size_t kPiecesQueued = 3;

}  // namespace

// Gathers the bytes written into pieces and hands each to the second thread,
// which gives it to the wrapped file first, then to the measure: a byte the
// file refused is not counted, and a file whose Close failed keeps no
// measure. The wrapped file's Flush and Close run on the writer's thread,
// once the second thread has taken every piece.
class MeasuringEnv::MeasuringFile : public WritableFile {
 public:
  // `whole`: the file was empty when opened, so its bytes are the ones written.
  MeasuringFile(MeasuringEnv& owner, std::string path, std::unique_ptr<WritableFile> inner, bool whole)
      : owner_(owner), path_(std::move(path)), inner_(std::move(inner)), whole_(whole) {}
  ~MeasuringFile() override {
    // Dropped unclosed: what was written still reaches the file, as it would
    // from the wrapped file's own buffer, and any failure is let go.
    try {
      HandOver();
    } catch (...) {
      // No thread or no memory for the piece: its bytes are lost with the writer.
    }
    owner_.behind_.Drain();
    if (open_) owner_.Closed(path_, std::nullopt);
  }
  void Append(std::string_view data) override {
    // A file opened and never written costs no room.
    if (filling_.capacity() < kPieceRoom) filling_.reserve(kPieceRoom);
    filling_.append(data);
    if (filling_.size() > kPiece) {
      owner_.RethrowRefusal();
      HandOver();
    }
  }
  void Flush() override {
    Settle();
    inner_->Flush();
  }
  void Close() override {
    if (!open_) return inner_->Close();
    try {
      HandOver();
      // The digest's last block too is the second thread's work.
      owner_.behind_.Submit([this] {
        if (failure_ || !whole_) return;
        try {
          sum_ = builder_.Finish({});
        } catch (...) {
          whole_ = false;  // no measure: the sums read the file instead
        }
      });
      Settle();
    } catch (...) {
      open_ = false;
      owner_.Closed(path_, std::nullopt);
      throw;
    }
    open_ = false;
    try {
      inner_->Close();
    } catch (...) {
      owner_.Closed(path_, std::nullopt);
      throw;
    }
    owner_.Closed(path_, whole_ ? std::move(sum_) : std::nullopt);
  }

 private:
  // Hands what is gathered to the second thread.
  void HandOver() {
    if (filling_.empty()) return;
    std::string piece;
    piece.swap(filling_);
    // Records come in pieces of kPiece, a batch of data rows whole: only the
    // large ones are worth waking the thread for at once.
    const bool small = piece.size() <= kPieceRoom;
    owner_.behind_.Submit([this, piece = std::move(piece)] { Take(piece); }, small);
  }
  // Waits until every byte given so far has been taken; raises a refusal.
  void Settle() {
    HandOver();
    owner_.behind_.Drain();
    if (failure_) std::rethrow_exception(failure_);
    owner_.RethrowRefusal();
  }
  // On the second thread. After a refusal the file takes nothing more, as
  // a writer that saw the refusal at once would have stopped there.
  void Take(std::string_view piece) {
    if (failure_) return;
    try {
      inner_->Append(piece);
    } catch (...) {
      whole_ = false;
      failure_ = std::current_exception();
      owner_.Refused(failure_);
      return;
    }
    if (!whole_) return;
    try {
      builder_.Add(piece);
    } catch (...) {
      whole_ = false;  // no measure: the sums read the file instead
    }
  }

  MeasuringEnv& owner_;
  const std::string path_;
  std::unique_ptr<WritableFile> inner_;
  SumBuilder builder_;
  std::optional<FileSum> sum_;  // once the file is closed
  std::string filling_;
  std::exception_ptr failure_;
  bool open_ = true;
  bool whole_ = true;
};

MeasuringEnv::MeasuringEnv(Env& inner) : EnvWrapper(inner), behind_(kPiecesQueued) {}

MeasuringEnv::~MeasuringEnv() = default;

void MeasuringEnv::Refused(std::exception_ptr failure) {
  std::lock_guard lock(refusal_mutex_);
  if (!refusal_) refusal_ = std::move(failure);
}

void MeasuringEnv::RethrowRefusal() {
  std::exception_ptr failure;
  {
    std::lock_guard lock(refusal_mutex_);
    failure = refusal_;
  }
  if (failure) std::rethrow_exception(failure);
}

std::optional<FileSum> MeasuringEnv::Measured(const std::string& path) const {
  const auto it = files_.find(path);
  if (it == files_.end() || it->second.writers > 0 || it->second.crossed) return std::nullopt;
  return it->second.sum;
}

void MeasuringEnv::ForgetClosed() {
  behind_.Drain();
  {
    std::lock_guard lock(refusal_mutex_);
    refusal_ = nullptr;
  }
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
