// Work handed to a second thread: the one place Kestrel starts a thread of
// its own, so that the machine's second core can take a share of a long
// step (writing and summing a pack's files while the store is read).
//
// Jobs run one at a time, in the order they were given, on one thread that
// the queue starts with its first job and stops when it goes. A job must not
// raise: it keeps its failure for the thread that gave it to look at. The
// caller keeps whatever a job reaches alive until Drain returns (or the
// queue is gone), and gives jobs from one thread only.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kestrel {

class BackgroundQueue {
 public:
  // At most `max_queued` jobs wait at a time: Submit waits for room, so the
  // memory the waiting jobs hold stays bounded.
  explicit BackgroundQueue(size_t max_queued);
  // Runs what is queued, then stops the thread.
  ~BackgroundQueue();
  BackgroundQueue(const BackgroundQueue&) = delete;
  BackgroundQueue& operator=(const BackgroundQueue&) = delete;

  // A `small` job may wait, the thread left asleep, until the queue is
  // full but for one place or Drain is called: waking the thread for each
  // small job costs more in switches between threads than the job itself.
  // A thread still at work takes every job without being woken.
  void Submit(std::function<void()> job, bool small = false);
  // Returns once every job given so far has run.
  void Drain();

 private:
  void Run();

  const size_t max_queued_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  bool running_job_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace kestrel
