// Waiting for a store's write lock by asking again, briefly apart.
#include "store/lock_wait.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace kestrel::store {
namespace {

// Short enough that a lock let go is taken at once, long enough that the
// wait costs nothing.
constexpr std::chrono::milliseconds kLockPoll{25};

}  // namespace

bool WaitForWriteLock(const WriteLockOptions& options, const std::function<bool()>& take) {
  const auto deadline = std::chrono::steady_clock::now() + options.wait;
  bool told = false;
  while (!take()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline || (options.interrupted && options.interrupted())) return false;
    if (!told && options.waiting) options.waiting();
    told = true;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kLockPoll, deadline - now));
  }
  return true;
}

}  // namespace kestrel::store
