// The run log "importmr.log" as the original component wrote it: the one
// renderer of the engine's run-log events (kestrel/run_log.h) into its lines,
// and the sink that appends them to the installation's run log. The
// component's classes, the command line, the web wizard and the C interface
// attach AppendRunLog to their calls' Context, so that every run log reads
// the same whichever face ran the import.
#pragma once

#include <string>
#include <string_view>

#include "kestrel/env.h"
#include "kestrel/export.h"
#include "kestrel/run_log.h"

namespace kestrel {

// The run log's last line of an import that was rolled back, and of a dry run.
inline constexpr std::string_view kImportRolledBack = "Import rolled back: the store is unchanged.";
inline constexpr std::string_view kDryRunRolledBack = "Dry run done and rolled back: the store is unchanged.";

// The event's line, without the date and time the file gives it.
KESTREL_API std::string RunLogText(const RunLogEvent& event);

// Appends the event's line to `file`: the present date and time, a blank,
// the line. Creates the file when missing, replaces it when it exists but
// cannot be appended to, and drops the line silently when neither works (or
// `file` is ""): the log never stops an import.
KESTREL_API void AppendRunLog(Env& env, const std::string& file, const RunLogEvent& event);

}  // namespace kestrel
