// The application data writers and the code table writer: each writes one
// table of the selected applications as data files of the pack folder.
// `selection` is the application codes joined by "|". Each returns true on
// success; on false ErrorNumber/ErrorDescription say why.
#pragma once

#include <string>

#include "component/export_state.h"

namespace Kestrel20ImpExp::detail {

bool ExportQzddi100(ExportState& s, const std::string& selection);
bool ExportQzddi101(ExportState& s, const std::string& selection);
bool ExportQzddi140(ExportState& s, const std::string& selection);
bool ExportQzddi150(ExportState& s, const std::string& selection);
bool ExportQzddi160(ExportState& s, const std::string& selection);
bool ExportQzddi200(ExportState& s, const std::string& selection);
bool ExportQzddi220(ExportState& s, const std::string& selection);
bool ExportQzddi230(ExportState& s, const std::string& selection);
bool ExportQzlgy140(ExportState& s, const std::string& selection);  // with qzlgy141
bool ExportQzlgy141(ExportState& s, const std::string& application);
bool ExportQzlgy150(ExportState& s, const std::string& selection);
bool ExportCodes(ExportState& s);

}  // namespace Kestrel20ImpExp::detail
