// While an object of this class lives, SIGINT and SIGTERM do not end the
// program: they request that the running import stop (component/
// interruption.h), which then rolls back and fails with its own error. The
// handlers before it are restored when it goes.
//
// Callers guarantee: one at a time, made on the main thread.
#pragma once

#include <csignal>

namespace kestrel::cli {

class SignalInterruption {
 public:
  SignalInterruption();
  ~SignalInterruption();
  SignalInterruption(const SignalInterruption&) = delete;
  SignalInterruption& operator=(const SignalInterruption&) = delete;

 private:
  struct sigaction old_int_{}, old_term_{};
};

}  // namespace kestrel::cli
