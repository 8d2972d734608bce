// A request, made from a signal handler, that the running import stop: the
// handler only records it; the import asks between statements and rows,
// rolls back and says so.
//
// Callers guarantee: RequestInterruption is the only one of these called
// from a signal handler (it is async-signal-safe).
#pragma once

#include <atomic>

namespace kestrel {

void RequestInterruption() noexcept;
// The flag the three calls set, read and clear: a face hands it on as the
// stop flag of an engine call (kestrel::Context::stop).
const std::atomic<bool>& InterruptionFlag() noexcept;
bool InterruptionRequested() noexcept;
// Forgets an earlier request, before an import starts.
void ClearInterruption() noexcept;

}  // namespace kestrel
