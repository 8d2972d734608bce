// The second thread and its queue of jobs.
#include "base/background_queue.h"

#include <utility>

namespace kestrel {

BackgroundQueue::BackgroundQueue(size_t max_queued) : max_queued_(max_queued == 0 ? 1 : max_queued) {}

BackgroundQueue::~BackgroundQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void BackgroundQueue::Submit(std::function<void()> job, bool small) {
  std::unique_lock lock(mutex_);
  // A thread is started only once there is work: a queue that never gets
  // any costs nothing.
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
  changed_.wait(lock, [&] { return jobs_.size() < max_queued_; });
  jobs_.push_back(std::move(job));
  const bool wake = !small || jobs_.size() + 1 >= max_queued_;
  lock.unlock();
  if (wake) changed_.notify_all();
}

void BackgroundQueue::Drain() {
  std::unique_lock lock(mutex_);
  if (!jobs_.empty()) changed_.notify_all();  // small jobs the thread was not woken for
  changed_.wait(lock, [&] { return jobs_.empty() && !running_job_; });
}

void BackgroundQueue::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return !jobs_.empty() || stopping_; });
    if (jobs_.empty()) return;  // stopping, and nothing left to run
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    running_job_ = true;
    lock.unlock();
    changed_.notify_all();  // room for the next Submit
    job();
    job = nullptr;  // what the job held goes before Drain reports it done
    lock.lock();
    running_job_ = false;
    changed_.notify_all();
  }
}

}  // namespace kestrel
