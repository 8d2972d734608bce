// The wait for a store's write lock that both backends share: their own
// ways of asking for the lock, tried again and again, with what the caller
// asked of the wait (how long, whom to tell, when to give up).
#pragma once

#include <functional>

#include "store/connection.h"

namespace kestrel::store {

// Calls `take` until it returns true (the lock is had), the wait of
// `options` is over or options.interrupted says to stop, pausing briefly
// between tries. options.waiting is told once, before the first pause.
// True when the lock was had. An exception from `take` ends the wait and
// reaches the caller.
bool WaitForWriteLock(const WriteLockOptions& options, const std::function<bool()>& take);

}  // namespace kestrel::store
