// The two profile drivers that ExportMigrationProfiles hands over to, and what
// they share: the application data and the functions as both packs write
// them, the profile header record of "Qzmap100.dat", row files, and VRCs.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "exporter/export_context.h"
#include "exporter/export_options.h"
#include "exporter/export_results.h"
#include "pack/row_writer.h"

namespace kestrel {
namespace store { class Recordset; }

namespace exporter {

// Writes the pack of one profile with the rules it inherits folded into it.
bool ExportSingleProfile(const ExportOptions& o, ExportContext& ctx, ExportResults& r);
// Writes the pack of a profile together with the chain of its base profiles.
bool ExportMultipleProfiles(const ExportOptions& o, ExportContext& ctx, ExportResults& r);

// A VRC as its three texts. The empty VRC (all three empty) is the base of a
// root profile; as joined text it is "__".
struct Vrc {
  std::string vers, rele, cust;
  bool IsEmpty() const { return vers.empty() && rele.empty() && cust.empty(); }
  // vers + "_" + rele + "_" + cust
  std::string Text() const { return vers + "_" + rele + "_" + cust; }
};

// The VRC of a qzmap100 row (vers, rele, cust), NULL parts as "".
Vrc VrcOf(const store::Recordset& profile);
// The VRC it is based on (verf, relf, cusf); empty when verf is NULL.
Vrc BaseVrcOf(const store::Recordset& profile);

// Runs the application data writers in the order of the single-profile pack
// or, for the chain pack, with qzddi230 last, each between its "Started : "
// and "Ended   : " progress lines. `applications` are the codes joined by
// "|". A writer's false result ends the run with false.
bool ExportApplicationData(ExportContext& ctx, ExportResults& r, const std::string& applications,
                           bool single_profile);

// The shared functions and the code table, each between its "Started : "
// and "Completed : " progress lines, as both packs end. False when either fails.
bool ExportFunctionsAndCodes(ExportContext& ctx, ExportResults& r);

// Position of a column of a query (without regard to case), or -1.
int ColumnIndex(const store::Recordset& rs, std::string_view name);

// The failure of a walk up from profile `from` that reached profile
// `reached` a second time: the parent or base VRCs of the store form a loop.
Error ChainLoop(int64_t reached, int64_t from);

// Writes the current row of a header query (the 18 columns of Qzmap100.dat,
// the owner read as text in the 13th) as one record, the owner deciphered.
// A NULL owner cannot be deciphered: 94 "Invalid use of Null".
void WriteProfileHeader(pack::RowWriter& out, const store::Recordset& profile);

// The positions of a row layout's columns in a query; a column the query
// lacks raises Ours::Internal.
std::vector<int> LayoutPositions(const pack::RowLayout& layout, const store::Recordset& rows);

// Writes the remaining rows of `rows` into `out`, the fields taken from
// `positions` (see LayoutPositions); `each_row` hears the count after every
// row. Returns how many rows were written.
int64_t WriteLayoutRows(pack::RowWriter& out, std::span<const int> positions, store::Recordset& rows,
                        const std::function<void(int64_t)>& each_row = {});

}  // namespace exporter
}  // namespace kestrel
