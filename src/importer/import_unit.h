// One import as one unit of the store: the write lock is taken (waiting as
// the options say) before the import's first statement, everything it writes
// is committed together at its end, and a failure, an interruption or a dry
// run rolls all of it back. Records what the import changed meanwhile.
// Internal to the import and its tests.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/import_results.h"

namespace kestrel::importer {

// Runs `body` with the store's write lock held; r.Summary starts empty and
// receives the rows changed, the time taken and the outcome (what was
// replaced the body adds itself). Commits when it returns true (unless o.DryRun),
// else rolls back, and then logs RolledBack (DryRunRolledBack after a dry
// run that succeeded). When the lock is not had within o.LockWaitSeconds it
// fails with Ours::StoreLocked, when the context's Stop was set with
// Ours::ImportInterrupted (whatever `body` said), and when the store refuses
// the commit with its error: each time r.Error and `message` (the message
// the component words for its caller) say so; a failure `body` raises fails
// it with that failure's number and text. Without a connection it fails
// with 91, the run time's words for an object not set.
bool RunAsOneUnit(const ImportOptions& o, const ImportContext& cx, ImportResults& r, Error& message,
                  const std::function<bool(const ImportContext&)>& body);

}  // namespace kestrel::importer
