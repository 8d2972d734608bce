// The import summary as text and as JSON.
#include "import_summary.h"

#include <cstdio>

namespace kestrel::cli {
namespace {

using kestrel::ImportSummary;

std::string Seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", s);
  return buf;
}

template <class List, class Show>
std::string Joined(const List& list, Show show, const std::string& none) {
  std::string out;
  for (const auto& e : list) out += (out.empty() ? "" : ", ") + show(e);
  return out.empty() ? none : out;
}

}  // namespace

void PrintImportSummary(std::ostream& out, const DetailsView& view, const ImportSummary& s) {
  const std::string verb = s.DryRun ? "would import" : "imported";
  for (size_t i = 0; i < view.sources.size() && i < view.targets.size(); ++i)
    out << verb << " pack profile " << view.sources[i][0] << " as profile " << view.targets[i][0] << " ("
        << view.targets[i][1] << " to " << view.targets[i][2] << ")\n";
  out << "profiles replaced: "
      << Joined(s.ProfilesReplaced, [](int64_t n) { return std::to_string(n); }, "none") << '\n';
  out << "applications replaced: " << Joined(s.ApplicationsReplaced, [](const std::string& a) { return a; }, "none")
      << '\n';
  out << "table     deleted    added\n";
  for (const auto& [table, rows] : s.Rows) {
    char line[96];
    std::snprintf(line, sizeof line, "%-8s %8lld %8lld\n", table.c_str(), static_cast<long long>(rows.deleted),
                  static_cast<long long>(rows.added));
    out << line;
  }
  if (s.DryRun)
    out << "dry run in " << Seconds(s.Seconds) << " s: everything was rolled back, the store is unchanged\n";
  else
    out << "import committed in " << Seconds(s.Seconds) << " s\n";
}

void PrintImportSummaryJson(std::ostream& out, const DetailsView& view, const ImportSummary& s) {
  out << "{\"dry_run\":" << (s.DryRun ? "true" : "false") << ",\"committed\":" << (s.Committed ? "true" : "false")
      << ",\"seconds\":" << Seconds(s.Seconds) << ",\"imported\":[";
  for (size_t i = 0; i < view.sources.size() && i < view.targets.size(); ++i)
    out << (i ? "," : "") << "{\"pack_profile\":" << JsonString(view.sources[i][0])
        << ",\"profile\":" << JsonString(view.targets[i][0]) << ",\"source_application\":"
        << JsonString(view.targets[i][1]) << ",\"target_application\":" << JsonString(view.targets[i][2]) << '}';
  out << "],\"profiles_replaced\":[";
  for (size_t i = 0; i < s.ProfilesReplaced.size(); ++i) out << (i ? "," : "") << s.ProfilesReplaced[i];
  out << "],\"applications_replaced\":[";
  for (size_t i = 0; i < s.ApplicationsReplaced.size(); ++i)
    out << (i ? "," : "") << JsonString(s.ApplicationsReplaced[i]);
  out << "],\"tables\":{";
  bool first = true;
  for (const auto& [table, rows] : s.Rows) {
    out << (first ? "" : ",") << JsonString(table) << ":{\"deleted\":" << rows.deleted << ",\"added\":" << rows.added
        << '}';
    first = false;
  }
  out << "}}\n";
}

}  // namespace kestrel::cli
