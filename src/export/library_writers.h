// The function writers: the shared functions (Qzmap150.dat), the function
// library of a profile list (Qzlib100.dat, Qzlib105.dat), and the functions
// visible to one profile for the single-profile export.
// `profiles` is profile numbers joined by single blanks.
#pragma once

#include <string>

#include "component/export_state.h"

namespace Kestrel20ImpExp::detail {

bool ExportFunctions(ExportState& s);
bool ExportQzlib100(ExportState& s, const std::string& profiles);
bool ExportQzlib105(ExportState& s, const std::string& profiles);
bool ExportIncludes(ExportState& s, const std::string& profile);

}  // namespace Kestrel20ImpExp::detail
