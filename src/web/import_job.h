// The one import (or dry run) the web wizard runs at a time into its store:
// it runs on a thread of its own while the page polls its progress; a second
// asked for while it runs is refused. What it reports at the end (summary or
// error) and the run log it wrote stay until the next one starts.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "present/json.h"

namespace kestrel::web {

using kestrel::present::Json;

class ImportJob {
 public:
  // What the work reports back: the result (the summary, or an "error"
  // object) and the run log lines it wrote.
  struct Outcome {
    bool succeeded = false;
    Json result;
    std::string log;
  };
  using Work = std::function<Outcome(ImportJob& job)>;

  ImportJob() = default;
  ~ImportJob();  // waits for a running job
  ImportJob(const ImportJob&) = delete;
  ImportJob& operator=(const ImportJob&) = delete;

  // Starts `work` on its own thread; false, with nothing started, while one runs.
  bool Start(bool dry_run, Work work);
  bool Running() const;

  // Called by the work while it runs (on its thread).
  void Progress(const std::string& step, int64_t done, int64_t total);
  void Notice(const std::string& line);
  // The flag the work hands the engine as its stop flag (Context::stop);
  // Stop sets it, from any thread: the running import rolls back.
  const std::atomic<bool>& StopFlag() const { return stop_; }
  void Stop() { stop_.store(true); }

  // {"state": "idle" | "running" | "done" | "failed", "dry_run", "step",
  // "done", "total" (0 when unknown), "notices", "result"}.
  Json Status() const;
  // The run log of the last job that ended; "" before the first.
  std::string LastLog() const;

 private:
  mutable std::mutex mutex_;
  std::thread thread_;
  std::string state_ = "idle";
  bool dry_run_ = false;
  std::string step_;
  int64_t done_ = 0;
  int64_t total_ = 0;
  std::vector<std::string> notices_;
  Json result_;
  std::string log_;
  std::atomic<bool> stop_{false};
};

}  // namespace kestrel::web
