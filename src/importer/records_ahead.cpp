// Reading a pack file ahead of its loader, on the second thread.
#include "importer/records_ahead.h"

#include <utility>

namespace kestrel::importer {
namespace {

// Rows handed over at a time, and batches in all: few enough that the rows
// waiting (rule texts among them) keep memory flat, enough that neither
// thread waits for the other on a steady file.
constexpr size_t kRowsPerBatch = 128;
constexpr size_t kBatches = 3;

}  // namespace

RecordsAhead::RecordsAhead(Env& env, const PlannedPack& planned, const std::vector<std::string>& header_map,
                           Loader loader, const pack::TaggedLayout& layout)
    : records_(env, planned, header_map, loader, layout) {
  current_.last = false;
  for (size_t i = 1; i < kBatches; ++i) spare_.emplace_back();
  reader_.Submit([this] { ReadAll(); });
}

RecordsAhead::~RecordsAhead() { Stop(); }

void RecordsAhead::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  reader_.Drain();
}

void RecordsAhead::ReadAll() {
  for (;;) {
    Batch batch;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return !spare_.empty() || stop_; });
      if (stop_) return;
      batch = std::move(spare_.front());
      spare_.pop_front();
    }
    batch.count = 0;
    batch.failure = nullptr;
    batch.last = false;
    if (batch.rows.size() < kRowsPerBatch) batch.rows.resize(kRowsPerBatch);
    try {
      while (batch.count < kRowsPerBatch) {
        if (!records_.Next(batch.rows[batch.count])) {
          batch.last = true;
          break;
        }
        ++batch.count;
      }
    } catch (...) {
      batch.failure = std::current_exception();
      batch.failure_line = records_.record_line();
      batch.last = true;
    }
    const bool last = batch.last;
    {
      std::lock_guard lock(mutex_);
      ready_.push_back(std::move(batch));
    }
    changed_.notify_all();
    if (last) return;
  }
}

bool RecordsAhead::Next(LoadedRow& row) {
  while (at_ == current_.count) {
    if (current_.last) {
      if (current_.failure) {
        line_ = current_.failure_line;
        std::rethrow_exception(current_.failure);
      }
      return false;
    }
    {
      std::unique_lock lock(mutex_);
      spare_.push_back(std::move(current_));
      changed_.wait(lock, [&] { return !ready_.empty(); });
      current_ = std::move(ready_.front());
      ready_.pop_front();
    }
    changed_.notify_all();
    at_ = 0;
  }
  // The row's storage goes back into the batch, to be filled again.
  std::swap(row, current_.rows[at_++]);
  line_ = row.line;
  return true;
}

void RecordsAhead::Close() {
  Stop();
  records_.Close();
}

}  // namespace kestrel::importer
