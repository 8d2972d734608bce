// The interruption request, kept where a signal handler may set it.
#include "kestrel/interruption.h"

namespace kestrel {
namespace {

// Set from a signal handler: it must not take a lock.
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool> requested{false};

}  // namespace

void RequestInterruption() noexcept { requested.store(true, std::memory_order_relaxed); }
bool InterruptionRequested() noexcept { return requested.load(std::memory_order_relaxed); }
void ClearInterruption() noexcept { requested.store(false, std::memory_order_relaxed); }
const std::atomic<bool>& InterruptionFlag() noexcept { return requested; }

}  // namespace kestrel
