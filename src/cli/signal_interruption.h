// While an object of this class lives, SIGINT and SIGTERM do not end the
// program: they set the stop flag the command owns and handed to the engine
// (Context::stop), and the running import then rolls back and fails with its
// own error. The handlers before it are restored when it goes.
//
// Callers guarantee: one at a time, made on the main thread; the flag
// outlives it.
#pragma once

#include <atomic>
#include <csignal>

namespace kestrel::cli {

class SignalInterruption {
 public:
  // Without a flag, the request goes where the component's classes look for
  // it (kestrel/interruption.h).
  explicit SignalInterruption(std::atomic<bool>* stop = nullptr);
  ~SignalInterruption();
  SignalInterruption(const SignalInterruption&) = delete;
  SignalInterruption& operator=(const SignalInterruption&) = delete;

 private:
  struct sigaction old_int_{}, old_term_{};
};

}  // namespace kestrel::cli
