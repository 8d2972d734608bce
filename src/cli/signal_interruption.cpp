// The signal handlers of an import: they only record the request.
#include "signal_interruption.h"

#include "kestrel/interruption.h"

namespace kestrel::cli {
namespace {

// The flag of the command that runs; null: the component's.
std::atomic<std::atomic<bool>*> g_stop{nullptr};

extern "C" void RequestStop(int) {
  if (std::atomic<bool>* stop = g_stop.load()) {
    stop->store(true);
  } else {
    kestrel::RequestInterruption();
  }
}

}  // namespace

SignalInterruption::SignalInterruption(std::atomic<bool>* stop) {
  if (stop) {
    stop->store(false);
  } else {
    kestrel::ClearInterruption();
  }
  g_stop.store(stop);
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, &old_int_);
  sigaction(SIGTERM, &action, &old_term_);
}

SignalInterruption::~SignalInterruption() {
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGTERM, &old_term_, nullptr);
  g_stop.store(nullptr);
}

}  // namespace kestrel::cli
