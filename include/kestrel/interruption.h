// A request, made from a signal handler, that the running import stop: the
// handler only records it; the import asks between statements and rows,
// rolls back and says so.
//
// Callers guarantee: RequestInterruption is the only one of these called
// from a signal handler (it is async-signal-safe).
#pragma once

#include <atomic>

#include "kestrel/export.h"

namespace kestrel {

KESTREL_API void RequestInterruption() noexcept;
// The flag the three calls set, read and clear: a face hands it on as the
// stop flag of an engine call (kestrel::Context::stop).
KESTREL_API const std::atomic<bool>& InterruptionFlag() noexcept;
KESTREL_API bool InterruptionRequested() noexcept;
// Forgets an earlier request, before an import starts.
KESTREL_API void ClearInterruption() noexcept;

}  // namespace kestrel
