// What both profile drivers share: progress lines, VRCs, the header record.
#include "export/profile_drivers.h"

#include <array>
#include <span>

#include "component/cipher.h"
#include "component/errors_ours.h"
#include "component/text.h"
#include "export/app_data_writers.h"
#include "export/library_writers.h"
#include "pack/layout.h"
#include "pack/manifest.h"
#include "store/connection.h"

namespace Kestrel20ImpExp::detail {

namespace {

// Position of the owner among the header columns.
constexpr int kOwnerColumn = 12;

struct AppDataStep {
  bool (*writer)(ExportState&, const std::string&);
  std::string_view started, ended;
};

// The application data writers in the order of the single-profile pack.
constexpr AppDataStep kAppDataSteps[] = {
    {ExportQzddi100, "Exporting Qzddi100 Started : ", "Exporting Qzddi100 Ended   : "},
    {ExportQzddi101, "Exporting Qzddi101 Started : ", "Exporting Qzddi101 Ended   : "},
    {ExportQzddi140, "Exporting Qzddi140 Started : ", "Exporting Qzddi140 Ended   : "},
    {ExportQzddi150, "Exporting Qzddi150 Started : ", "Exporting Qzddi150 Ended   : "},
    {ExportQzddi160, "Exporting Qzddi160 Started : ", "Exporting Qzddi160 Ended   : "},
    {ExportQzddi200, "Exporting Qzddi200 Started : ", "Exporting Qzddi200 Ended   : "},
    {ExportQzddi220, "Exporting Qzddi220 Started : ", "Exporting Qzddi220 Ended   : "},
    {ExportQzddi230, "Exporting Qzddi230 Started : ", "Exporting Qzddi230 Ended   : "},
    {ExportQzlgy140, "Exporting Qzlgy140 and Qzlgy141 Started : ", "Exporting Qzlgy140 and Qzlgy141 Ended   : "},
    {ExportQzlgy150, "Exporting Qzlgy150 Started : ", "Exporting Qzlgy150 Ended   : "},
};
// Positions in kAppDataSteps: the chain pack writes qzddi230 after the base tables.
constexpr int kSingleProfileOrder[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
constexpr int kChainOrder[] = {0, 1, 2, 3, 4, 5, 6, 8, 9, 7};

}  // namespace

bool ExportApplicationData(ExportState& s, const std::string& applications, bool single_profile) {
  for (int at : single_profile ? std::span<const int>(kSingleProfileOrder) : std::span<const int>(kChainOrder)) {
    const AppDataStep& step = kAppDataSteps[at];
    AppendProgress(s, step.started);
    if (!step.writer(s, applications)) return false;
    AppendProgress(s, step.ended);
  }
  return true;
}

int ColumnIndex(const store::Recordset& rs, std::string_view name) {
  for (int i = 0; i < rs.FieldCount(); ++i)
    if (text::EqualNoCase(rs.FieldName(i), name)) return i;
  return -1;
}

void SetChainLoop(ExportState& s, int64_t reached, int64_t from) {
  s.Error.Set(Number(Ours::ChainTooLong), std::string(DefaultText(Ours::ChainTooLong)) + ": profile " +
                                              std::to_string(reached) + " is reached twice from profile " +
                                              std::to_string(from));
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

void AppendProgress(ExportState& s, std::string_view text) { s.ManifestText += pack::manifest::ProgressLineNow(text); }

void AppendNote(ExportState& s, std::string_view text) { s.ManifestText += pack::manifest::NoteLine(text); }

bool ExportFunctionsAndCodes(ExportState& s) {
  AppendProgress(s, "Exporting Functions Started : ");
  if (!ExportFunctions(s)) return false;
  AppendProgress(s, "Exporting Functions Completed : ");
  AppendProgress(s, "Exporting codes Started : ");
  if (!ExportCodes(s)) return false;
  AppendProgress(s, "Exporting codes Completed : ");
  return true;
}

void ListRuleFile(ExportState& s, std::string_view name) { s.RuleFileList += pack::manifest::ListLine(name); }

void WriteProfileHeader(pack::RowWriter& out, const store::Recordset& profile) {
  std::array<Value, pack::fields::kQzmap100Columns.size()> values;
  for (int i = 0; i < static_cast<int>(values.size()); ++i) values[i] = profile.Fields(i);
  // Text() fails on NULL: a missing owner cannot be deciphered.
  values[kOwnerColumn] = Value(CipherField(values[kOwnerColumn].Text(), false));
  out.Write(values);
}

}  // namespace Kestrel20ImpExp::detail
