// Items of a file read on a second thread, some batches ahead of the thread
// that uses them, so that reading a file and storing what it holds share the
// machine's two cores (a pack's rule and function records).
//
// The user sees exactly what reading in place gives: the same items in the
// same order, and a failure of the reading raised after every item before
// it. Dropping the reader, or Stop, stops the reading. `fill` runs on the
// second thread only, one call at a time: what it reaches must be safe to
// use there while the user works (a file of its own, the Env's files and
// clock), and must outlive the reader.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "base/background_queue.h"

namespace kestrel {

template <class Item>
class ReadAhead {
 public:
  // `fill` reads the next item into the one given (whose storage it may
  // reuse) and returns false at the end. `per_batch` items are handed over
  // at a time, `batches` batches in all: the memory they hold is bounded.
  ReadAhead(std::function<bool(Item&)> fill, size_t per_batch, size_t batches)
      : fill_(std::move(fill)), per_batch_(per_batch == 0 ? 1 : per_batch), batches_(batches < 2 ? 2 : batches) {
    for (size_t i = 1; i < batches_; ++i) spare_.emplace_back();
    reader_.Submit([this] { ReadAll(); });
  }
  ~ReadAhead() { Stop(); }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Swaps the next item into `item` (its old storage goes back to be filled
  // again); false at the end. Raises what `fill` raised, where it raised it.
  bool Next(Item& item) {
    while (at_ == current_.count) {
      if (current_.last) {
        if (current_.failure) std::rethrow_exception(current_.failure);
        return false;
      }
      bool wake_reader;
      {
        std::unique_lock lock(mutex_);
        spare_.push_back(std::move(current_));
        // Once it ran dry, this thread waits for half of the batches (or the
        // last): woken for every batch, each side would cost two thread
        // switches a batch.
        if (ready_.empty()) changed_.wait(lock, [&] { return ready_.size() >= Half() || finished_; });
        current_ = std::move(ready_.front());
        ready_.pop_front();
        wake_reader = spare_.size() == Half();
      }
      if (wake_reader) changed_.notify_all();
      at_ = 0;
    }
    std::swap(item, current_.items[at_++]);
    return true;
  }

  // Stops the reading and waits until `fill` is no longer running.
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    reader_.Drain();
  }

 private:
  struct Batch {
    std::vector<Item> items;  // storage kept from batch to batch
    size_t count = 0;         // items filled
    std::exception_ptr failure;
    bool last = false;        // nothing comes after this batch
  };

  void ReadAll() {
    for (;;) {
      Batch batch;
      {
        std::unique_lock lock(mutex_);
        // As Next: once all batches are full, waits for half of them.
        if (spare_.empty()) changed_.wait(lock, [&] { return spare_.size() >= Half() || stop_; });
        if (stop_) return;
        batch = std::move(spare_.front());
        spare_.pop_front();
      }
      batch.count = 0;
      batch.failure = nullptr;
      batch.last = false;
      if (batch.items.size() < per_batch_) batch.items.resize(per_batch_);
      try {
        while (batch.count < per_batch_) {
          if (!fill_(batch.items[batch.count])) {
            batch.last = true;
            break;
          }
          ++batch.count;
        }
      } catch (...) {
        batch.failure = std::current_exception();
        batch.last = true;
      }
      const bool last = batch.last;
      bool wake_user;
      {
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(batch));
        finished_ = last;
        wake_user = last || ready_.size() == Half();
      }
      if (wake_user) changed_.notify_all();
      if (last) return;
    }
  }

  std::function<bool(Item&)> fill_;
  const size_t per_batch_;
  const size_t batches_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> ready_, spare_;
  size_t Half() const { return batches_ / 2; }

  bool stop_ = false;
  bool finished_ = false;  // the last batch is ready
  Batch current_;  // the user's, being handed out
  size_t at_ = 0;
  BackgroundQueue reader_{1};  // last: it stops before what it reaches goes
};

}  // namespace kestrel
