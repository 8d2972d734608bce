// The "--wait SECONDS" option of the commands that write a store as one unit
// (import, load-functions), and what they say on a terminal while waiting.
#pragma once

#include <CLI/CLI.hpp>

#include "kestrel/cls_import.h"
#include "kestrel/store.h"

namespace kestrel::cli {

// The wait an import takes unless told otherwise.
inline constexpr int kDefaultLockWait = kestrel::store::kDefaultLockWaitSeconds;

void AddWaitOption(CLI::App& sub, int& seconds);
// Hands the wait to the object; on a terminal, what is being waited for goes
// to stderr when the wait begins.
void UseLockWait(Kestrel20ImpExp::clsImport& import, int seconds);

}  // namespace kestrel::cli
