// A request, made from a signal handler, that the running import stop: the
// handler only records it; the import asks between statements and rows,
// rolls back and says so.
//
// Callers guarantee: RequestInterruption is the only one of these called
// from a signal handler (it is async-signal-safe).
#pragma once

namespace kestrel {

void RequestInterruption() noexcept;
bool InterruptionRequested() noexcept;
// Forgets an earlier request, before an import starts.
void ClearInterruption() noexcept;

}  // namespace kestrel
