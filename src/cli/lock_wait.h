// The "--wait SECONDS" option of every command that takes a store: how long
// any wait for a lock another program holds on the store may last (the
// write lock an import or load-functions takes, the store or a table that
// another program keeps locked while the command reads it); and what an
// import says on a terminal while waiting.
#pragma once

#include <CLI/CLI.hpp>

#include "kestrel/cls_import.h"
#include "kestrel/store.h"

namespace kestrel::cli {

// The wait a command takes unless told otherwise, and the longest it takes
// (a day: a value above it is a mistake, not a wish).
inline constexpr int kDefaultLockWait = kestrel::store::kDefaultLockWaitSeconds;
inline constexpr int kMaxLockWait = 86400;

// Declares --wait on the command; the value parsed is LockWaitSeconds()
// from then on. A value that is not a whole number from 0 to kMaxLockWait is
// a usage error naming the option and the range.
void AddWaitOption(CLI::App& sub);
int LockWaitSeconds();
// Hands the wait to the object; on a terminal, what is being waited for goes
// to stderr when the wait begins.
void UseLockWait(Kestrel20ImpExp::clsImport& import);

}  // namespace kestrel::cli
