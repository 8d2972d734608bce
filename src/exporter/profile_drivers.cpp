// What both profile drivers share: the application data and function steps,
// VRCs, the header record and row files.
#include "exporter/profile_drivers.h"

#include <array>
#include <span>
#include <vector>

#include <fmt/format.h>

#include "base/cipher.h"
#include "base/errors_ours.h"
#include "base/text.h"
#include "exporter/app_data_writers.h"
#include "exporter/library_writers.h"
#include "pack/layout.h"
#include "store/connection.h"

namespace kestrel::exporter {

namespace {

// Position of the owner among the header columns.
constexpr int kOwnerColumn = 12;

struct AppDataStep {
  std::string_view table;
  std::string_view started, ended;
};

// The application data writers in the order of the single-profile pack.
constexpr AppDataStep kAppDataSteps[] = {
    {"qzddi100", "Exporting Qzddi100 Started : ", "Exporting Qzddi100 Ended   : "},
    {"qzddi101", "Exporting Qzddi101 Started : ", "Exporting Qzddi101 Ended   : "},
    {"qzddi140", "Exporting Qzddi140 Started : ", "Exporting Qzddi140 Ended   : "},
    {"qzddi150", "Exporting Qzddi150 Started : ", "Exporting Qzddi150 Ended   : "},
    {"qzddi160", "Exporting Qzddi160 Started : ", "Exporting Qzddi160 Ended   : "},
    {"qzddi200", "Exporting Qzddi200 Started : ", "Exporting Qzddi200 Ended   : "},
    {"qzddi220", "Exporting Qzddi220 Started : ", "Exporting Qzddi220 Ended   : "},
    {"qzddi230", "Exporting Qzddi230 Started : ", "Exporting Qzddi230 Ended   : "},
    {"qzlgy140", "Exporting Qzlgy140 and Qzlgy141 Started : ", "Exporting Qzlgy140 and Qzlgy141 Ended   : "},
    {"qzlgy150", "Exporting Qzlgy150 Started : ", "Exporting Qzlgy150 Ended   : "},
};
// Positions in kAppDataSteps: the chain pack writes qzddi230 after the base tables.
constexpr int kSingleProfileOrder[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
constexpr int kChainOrder[] = {0, 1, 2, 3, 4, 5, 6, 8, 9, 7};

}  // namespace

bool ExportApplicationData(ExportContext& ctx, ExportResults& r, const std::string& applications,
                           bool single_profile) {
  for (int at : single_profile ? std::span<const int>(kSingleProfileOrder) : std::span<const int>(kChainOrder)) {
    const AppDataStep& step = kAppDataSteps[at];
    ctx.AppendProgress(step.started);
    if (!ExportAppDataTable(ctx, r, AppDataMemberOf(step.table), applications)) return false;
    ctx.AppendProgress(step.ended);
  }
  return true;
}

int ColumnIndex(const store::Recordset& rs, std::string_view name) {
  for (int i = 0; i < rs.FieldCount(); ++i)
    if (text::EqualNoCase(rs.FieldName(i), name)) return i;
  return -1;
}

Error ChainLoop(int64_t reached, int64_t from) {
  return Error(Number(Ours::ChainTooLong), fmt::format("{}: profile {} is reached twice from profile {}",
                                                       DefaultText(Ours::ChainTooLong), reached, from));
}

Vrc VrcOf(const store::Recordset& profile) {
  return {profile.Fields("vers").TextOrEmpty(), profile.Fields("rele").TextOrEmpty(),
          profile.Fields("cust").TextOrEmpty()};
}

Vrc BaseVrcOf(const store::Recordset& profile) {
  Value verf = profile.Fields("verf");
  if (verf.IsNull()) return {};
  return {verf.Text(), profile.Fields("relf").TextOrEmpty(), profile.Fields("cusf").TextOrEmpty()};
}

bool ExportFunctionsAndCodes(ExportContext& ctx, ExportResults& r) {
  ctx.AppendProgress("Exporting Functions Started : ");
  if (!ExportFunctions(ctx, r)) return false;
  ctx.AppendProgress("Exporting Functions Completed : ");
  ctx.AppendProgress("Exporting codes Started : ");
  if (!ExportCodes(ctx, r)) return false;
  ctx.AppendProgress("Exporting codes Completed : ");
  return true;
}

void WriteProfileHeader(pack::RowWriter& out, const store::Recordset& profile) {
  std::array<Value, pack::fields::kQzmap100Columns.size()> values;
  for (int i = 0; i < static_cast<int>(values.size()); ++i) values[i] = profile.Fields(i);
  // Text() fails on NULL: a missing owner cannot be deciphered.
  values[kOwnerColumn] = Value(CipherField(values[kOwnerColumn].Text(), false));
  out.Write(values);
}

std::vector<int> LayoutPositions(const pack::RowLayout& layout, const store::Recordset& rows) {
  std::vector<int> at;
  for (auto column : layout.columns) {
    at.push_back(ColumnIndex(rows, column));
    if (at.back() < 0)
      Raise(Ours::Internal, "The table " + std::string(layout.table) + " has no column " + std::string(column));
  }
  return at;
}

int64_t WriteLayoutRows(pack::RowWriter& out, std::span<const int> positions, store::Recordset& rows,
                        const std::function<void(int64_t)>& each_row) {
  std::vector<Value> values(positions.size());
  int64_t done = 0;
  for (; !rows.IsEOF(); rows.MoveNext()) {
    for (size_t i = 0; i < positions.size(); ++i) values[i] = rows.Fields(positions[i]);
    out.Write(values);
    ++done;
    if (each_row) each_row(done);
  }
  return done;
}

}  // namespace kestrel::exporter
