// The import summary as text and as JSON.
#include "import_summary.h"

#include <fmt/format.h>

#include "present/import_view.h"

namespace kestrel::cli {
namespace {

using kestrel::ImportSummary;

std::string Seconds(double s) { return fmt::format("{:.2f}", s); }

}  // namespace

void PrintImportSummary(std::ostream& out, const DetailsView& view, const ImportSummary& s) {
  const std::string verb = s.DryRun ? "would import" : "imported";
  for (size_t i = 0; i < view.sources.size() && i < view.targets.size(); ++i)
    out << verb << " pack profile " << view.sources[i][0] << " as profile " << view.targets[i][0] << " ("
        << ForStdout(view.targets[i][1]) << " to " << ForStdout(view.targets[i][2]) << ")\n";
  out << "profiles replaced: " << ListForStdout(s.ProfilesReplaced) << '\n';
  out << "applications replaced: " << ListForStdout(s.ApplicationsReplaced) << '\n';
  out << "table     deleted    added\n";
  for (const auto& [table, rows] : s.Rows) {
    out << fmt::format("{:<8} {:>8} {:>8}\n", table, rows.deleted, rows.added);
  }
  if (s.DryRun)
    out << "dry run in " << Seconds(s.Seconds) << " s: everything was rolled back, the store is unchanged\n";
  else
    out << "import committed in " << Seconds(s.Seconds) << " s\n";
}

void PrintImportSummaryJson(std::ostream& out, const DetailsView& view, const ImportSummary& s) {
  PrintJson(out, kestrel::present::ImportSummaryJson(view, s));
}

}  // namespace kestrel::cli
