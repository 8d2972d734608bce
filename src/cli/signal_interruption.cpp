// The signal handlers of an import: they only record the request.
#include "signal_interruption.h"

#include "kestrel/interruption.h"

namespace kestrel::cli {
namespace {

extern "C" void RequestStop(int) { kestrel::RequestInterruption(); }

}  // namespace

SignalInterruption::SignalInterruption() {
  kestrel::ClearInterruption();
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
}

}  // namespace kestrel::cli
