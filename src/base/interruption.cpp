// The interruption request, kept where a signal handler may set it.
#include "kestrel/interruption.h"

#include <csignal>

namespace kestrel {
namespace {

volatile std::sig_atomic_t requested = 0;

}  // namespace

void RequestInterruption() noexcept { requested = 1; }
bool InterruptionRequested() noexcept { return requested != 0; }
void ClearInterruption() noexcept { requested = 0; }

}  // namespace kestrel
