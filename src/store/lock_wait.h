// The waits for locks of other programs that both backends share: the wait
// for a store's write lock, their own ways of asking for it tried again and
// again, with what the caller asked of the wait (how long, whom to tell, when
// to give up); and the failure a statement that waited in vain reports.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "store/connection.h"

namespace kestrel::store {

// Calls `take` until it returns true (the lock is had), the wait of
// `options` is over or options.interrupted says to stop, pausing briefly
// between tries. options.waiting is told once, before the first pause.
// True when the lock was had. An exception from `take` ends the wait and
// reaches the caller.
bool WaitForWriteLock(const WriteLockOptions& options, const std::function<bool()>& take);

// The tables a statement names after "from", "join", "into", "update" or
// "table", each once, in order, unquoted and without their schema.
std::vector<std::string> TablesNamed(std::string_view statement);

// The failure of `statement` on the store at `location`, which waited
// `waited` for a lock another program holds: Ours::StoreLocked, naming the
// tables the statement names (what it waited for), the location (masked) and
// the seconds waited.
ComError LockNotHad(const std::string& location, std::string_view statement, std::chrono::milliseconds waited);

}  // namespace kestrel::store
