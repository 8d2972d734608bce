// The function writers: the shared functions (Qzmap150.dat), the function
// library of a profile list (Qzlib100.dat, Qzlib105.dat), and the functions
// visible to one profile for the single-profile export. Each lists its file
// among the rule files; on false the results' Error says why.
// `profiles` is profile numbers joined by single blanks.
#pragma once

#include <string>

#include "exporter/export_context.h"
#include "exporter/export_results.h"

namespace kestrel::exporter {

bool ExportFunctions(ExportContext& ctx, ExportResults& r);
bool ExportQzlib100(ExportContext& ctx, ExportResults& r, const std::string& profiles);
bool ExportQzlib105(ExportContext& ctx, ExportResults& r, const std::string& profiles);

// How ExportIncludes finds the functions a profile sees.
struct IncludeScope {
  bool traverse_parents = false;  // look in the profile's chain, not in the profile alone
  bool revisions = false;         // write Qzlib105.dat with the revisions of each version taken
};
bool ExportIncludes(ExportContext& ctx, ExportResults& r, const std::string& profile, IncludeScope scope);

}  // namespace kestrel::exporter
