// The import summary as text.
#include "import_summary.h"

#include <fmt/format.h>

#include "output.h"

namespace kestrel::cli {

void PrintImportSummary(std::ostream& out, const kestrel::ImportReport& r) {
  const std::string verb = r.dry_run ? "would import" : "imported";
  for (size_t i = 0; i < r.sources.size() && i < r.targets.size(); ++i)
    out << verb << " pack profile " << r.sources[i].number << " as profile " << r.targets[i].profile << " ("
        << ForStdout(r.targets[i].source_application) << " to " << ForStdout(r.targets[i].target_application)
        << ")\n";
  out << "profiles replaced: " << ListForStdout(r.profiles_replaced) << '\n';
  out << "applications replaced: " << ListForStdout(r.applications_replaced) << '\n';
  out << "table     deleted    added\n";
  for (const auto& [table, rows] : r.rows) out << fmt::format("{:<8} {:>8} {:>8}\n", table, rows.deleted, rows.added);
  const std::string seconds = fmt::format("{:.2f}", r.seconds);
  if (r.dry_run)
    out << "dry run in " << seconds << " s: everything was rolled back, the store is unchanged\n";
  else
    out << "import committed in " << seconds << " s\n";
  if (r.run != 0) out << "recorded as run " << r.run << " (`kestrel undo " << r.run << "` undoes it)\n";
}

}  // namespace kestrel::cli
