// The import's run log events.
#include "importer/run_log.h"

namespace kestrel::importer {

void ReverseStringArray(const ImportContext& cx, std::vector<std::string>& strArray) {
  ReverseStringArray(cx, strArray, [](const std::string& s) -> const std::string& { return s; });
}

}  // namespace kestrel::importer
