// The web wizard's one running import and what it reports.
#include "web/import_job.h"

namespace kestrel::web {

ImportJob::~ImportJob() {
  if (thread_.joinable()) thread_.join();
}

bool ImportJob::Start(bool dry_run, Work work) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ == "running") return false;
  // The thread of the job before has ended (its state is no longer
  // "running"), so this join does not wait.
  if (thread_.joinable()) thread_.join();
  state_ = "running";
  dry_run_ = dry_run;
  step_.clear();
  done_ = 0;
  total_ = 0;
  notices_.clear();
  result_ = Json();
  stop_.store(false);
  thread_ = std::thread([this, work = std::move(work)] {
    Outcome outcome = work(*this);
    std::lock_guard<std::mutex> done_lock(mutex_);
    state_ = outcome.succeeded ? "done" : "failed";
    result_ = std::move(outcome.result);
    log_ = std::move(outcome.log);
  });
  return true;
}

bool ImportJob::Running() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_ == "running";
}

void ImportJob::Progress(const std::string& step, int64_t done, int64_t total) {
  std::lock_guard<std::mutex> lock(mutex_);
  step_ = step;
  done_ = done;
  total_ = total;
}

void ImportJob::Notice(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  notices_.push_back(line);
}

Json ImportJob::Status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Json notices = Json::array();
  for (const auto& n : notices_) notices.push_back(kestrel::present::JsonText(n));
  return Json{{"state", state_}, {"dry_run", dry_run_}, {"step", kestrel::present::JsonText(step_)},
              {"done", done_},   {"total", total_},     {"notices", notices},
              {"result", result_}};
}

std::string ImportJob::LastLog() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}

}  // namespace kestrel::web
