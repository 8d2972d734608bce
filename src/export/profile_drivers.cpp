// What both profile drivers share: progress lines, VRCs, the header record.
#include "export/profile_drivers.h"

#include <array>

#include "component/cipher.h"
#include "pack/layout.h"
#include "pack/manifest.h"
#include "store/connection.h"

namespace Kestrel20ImpExp::detail {

namespace {
// Position of the owner among the header columns.
constexpr int kOwnerColumn = 12;
}  // namespace

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

void ListRuleFile(ExportState& s, std::string_view name) { s.RuleFileList += pack::manifest::ListLine(name); }

void WriteProfileHeader(pack::RowWriter& out, const store::Recordset& profile) {
  std::array<Value, pack::fields::kQzmap100Columns.size()> values;
  for (int i = 0; i < static_cast<int>(values.size()); ++i) values[i] = profile.Fields(i);
  // Text() fails on NULL: a missing owner cannot be deciphered.
  values[kOwnerColumn] = Value(CipherField(values[kOwnerColumn].Text(), false));
  out.Write(values);
}

}  // namespace Kestrel20ImpExp::detail
