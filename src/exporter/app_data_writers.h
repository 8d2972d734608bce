// The application data writers and the code table writer: each writes one
// table of the selected applications as data files of the pack folder.
// `selection` is the application codes joined by "|". Each returns true on
// success; on false the results' Error says why.
#pragma once

#include <string>
#include <string_view>

#include "exporter/export_context.h"
#include "exporter/export_results.h"

namespace kestrel::exporter {

// A row of the writers' member table; its contents stay with the writers.
struct AppDataMember;

// The member that writes `table` ("qzddi100" ... "qzddi230", "qzlgy140",
// "qzlgy141", "qzlgy150"); any other name raises Ours::Internal.
const AppDataMember& AppDataMemberOf(std::string_view table);

// Writes the member's table for each application of `selection` it serves,
// one data file each, listed in the results; qzlgy140 brings qzlgy141 along.
bool ExportAppDataTable(ExportContext& ctx, ExportResults& r, const AppDataMember& m, const std::string& selection);

// The code table, Qzlgy115.dat, listed among the rule files.
bool ExportCodes(ExportContext& ctx, ExportResults& r);

}  // namespace kestrel::exporter
