// What the import tells its run log: events (kestrel/run_log.h) handed to
// the sink the context carries, for a face to render.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "importer/import_context.h"
#include "kestrel/run_log.h"

namespace kestrel::importer {

using LogKind = RunLogEvent::Kind;

// Hands the event to the context's run log, if it has one.
inline void Log(const ImportContext& cx, RunLogEvent event) {
  if (cx.RunLog) cx.RunLog(cx.env(), cx.ImportLogPath, event);
}
inline void Log(const ImportContext& cx, LogKind kind) { Log(cx, RunLogEvent{.kind = kind}); }
// A failure logged as it is.
inline void LogFailure(const ImportContext& cx, Error error) {
  Log(cx, RunLogEvent{.kind = LogKind::Failure, .error = std::move(error)});
}

// Reverses the array in place and logs that it did and each element as
// `text` gives it; an array of fewer than two elements stays as it is and
// nothing is logged.
template <class T, class Text>
void ReverseStringArray(const ImportContext& cx, std::vector<T>& items, Text&& text) {
  if (items.size() < 2) return;
  std::reverse(items.begin(), items.end());
  Log(cx, LogKind::ArraySorted);
  for (size_t i = 0; i < items.size(); ++i)
    Log(cx, RunLogEvent{.kind = LogKind::ArrayElement, .index = static_cast<int64_t>(i), .text = text(items[i])});
}
void ReverseStringArray(const ImportContext& cx, std::vector<std::string>& strArray);

}  // namespace kestrel::importer
