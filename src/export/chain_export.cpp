// ExportMultipleProfiles: the pack of a profile together with the chain of
// profiles it is based on, each kept under its own number. It walks the base
// VRCs upwards, writes the header records itself and hands the collected
// applications and profiles to the table writers.
#include <algorithm>
#include <string>
#include <string_view>

#include "component/error.h"
#include "component/files.h"
#include "component/value.h"
#include "export/app_data_writers.h"
#include "export/library_writers.h"
#include "export/profile_drivers.h"
#include "export/rule_table_writers.h"
#include "pack/layout.h"
#include "pack/row_writer.h"
#include "store/connection.h"
#include "store/statements_export.h"

namespace Kestrel20ImpExp::detail {
namespace {

struct RuleStep {
  std::string_view table;
  std::string_view started, ended;
};

constexpr RuleStep kRuleSteps[] = {
    {"qzmap101", "Exporting Qzmap101 Started : ", "Exporting Qzmap101 Ended   : "},
    {"qzmap120", "Exporting Qzmap120 Started : ", "Exporting Qzmap120 Ended   : "},
    {"qzmap130", "Exporting Qzmap130 Started : ", "Exporting Qzmap130 Ended   : "},
    {"qzmap140", "Exporting Qzmap140 Started : ", "Exporting Qzmap140 Ended   : "},
    {"qzmap160", "Exporting Qzmap160 Started : ", "Exporting Qzmap160 Ended   : "},
    {"qzmap170", "Exporting Qzmap170 Started : ", "Exporting Qzmap170 Ended   : "},
};

constexpr RuleStep kRevisionSteps[] = {
    {"qzmap105", "Exporting Qzmap105 Started : ", "Exporting Qzmap105 Ended   : "},
    {"qzmap110", "Exporting Qzmap110 Started : ", "Exporting Qzmap110 Ended   : "},
    {"qzmap125", "Exporting Qzmap125 Started : ", "Exporting Qzmap125 Ended   : "},
    {"qzmap135", "Exporting Qzmap135 Started : ", "Exporting Qzmap135 Ended   : "},
    {"qzmap145", "Exporting Qzmap145 Started : ", "Exporting Qzmap145 Ended   : "},
    {"qzmap165", "Exporting Qzmap165 Started : ", "Exporting Qzmap165 Ended   : "},
    {"qzmap175", "Exporting Qzmap175 Started : ", "Exporting Qzmap175 Ended   : "},
};

bool RunRuleSteps(ExportState& s, std::span<const RuleStep> steps, const std::string& profiles) {
  for (const auto& step : steps) {
    AppendProgress(s, step.started);
    if (!ExportRuleTable(s, RuleTableMemberOf(step.table), profiles)) return false;
    AppendProgress(s, step.ended);
  }
  return true;
}

// Takes a profile of the chain: its applications unless already collected,
// its number, and its header record.
void Collect(ExportState& s, pack::RowWriter& headers, const store::Recordset& profile) {
  for (const char* column : {"sapp", "tapp"}) {
    std::string appl = profile.Fields(column).TextOrEmpty();
    if (std::find(s.ChainApplications.begin(), s.ChainApplications.end(), appl) == s.ChainApplications.end())
      s.ChainApplications.push_back(appl);
  }
  s.ChainProfiles.push_back(static_cast<int16_t>(profile.Fields("mprf").Integer()));
  WriteProfileHeader(headers, profile);
}

// The number below which ancestors stay out of the pack: ExportBasedOn's
// numeric value, 0 when it is empty or not a number.
double BasedOnLimit(const std::string& based_on) {
  double limit = 0;
  if (ParseNumber(based_on, limit) != NumberText::Ok) return 0;
  return limit;
}

// Steps 1-5: walks the chain and writes "Qzmap100.dat". False when the base
// VRCs loop.
bool WriteChainHeaders(ExportState& s, store::Connection& c) {
  auto out = files::TextWriter::Create(files::Join(s.Path, pack::kQzmap100Rows.file));
  ListRuleFile(s, pack::kQzmap100Rows.file);
  AppendProgress(s, "Exporting Qzmap100 started: ");
  pack::RowWriter headers(pack::kQzmap100Rows, *out);
  s.ChainApplications.clear();
  s.ChainProfiles.clear();

  Vrc base;
  {
    auto rs = c.OpenRecordset(store::SelectChainProfileHeader(c.dialect(), s.MigrationProfileTobeExported),
                              store::adOpenDynamic, store::adLockOptimistic);
    if (!rs->IsEOF()) {
      base = BaseVrcOf(*rs);
      Collect(s, headers, *rs);
    }
    rs->Close();
  }
  const double limit = BasedOnLimit(s.ExportBasedOn);
  while (!base.IsEmpty()) {
    auto rs = c.OpenRecordset(store::SelectChainProfileHeaderByVrc(c.dialect(), base.vers, base.rele, base.cust),
                              store::adOpenDynamic, store::adLockOptimistic);
    if (rs->IsEOF()) break;
    const int64_t mprf = rs->Fields("mprf").Integer();
    if (limit >= static_cast<double>(mprf)) break;
    if (std::find(s.ChainProfiles.begin(), s.ChainProfiles.end(), mprf) != s.ChainProfiles.end()) {
      SetChainLoop(s, mprf, s.MigrationProfileTobeExported);
      return false;
    }
    base = BaseVrcOf(*rs);
    Collect(s, headers, *rs);
  }
  out->Close();
  AppendProgress(s, "Exporting Qzmap100 Completed: ");
  return true;
}

bool ExportChain(ExportState& s) {
  store::Connection& c = ConnectionOf(s);
  if (!WriteChainHeaders(s, c)) return false;

  std::string applications, profiles;
  for (const auto& appl : s.ChainApplications) applications += (applications.empty() ? "" : "|") + appl;
  for (int16_t mprf : s.ChainProfiles) profiles += (profiles.empty() ? "" : " ") + std::to_string(mprf);

  if (!ExportApplicationData(s, applications, false)) return false;
  if (!RunRuleSteps(s, kRuleSteps, profiles)) return false;

  if (!ExportFunctionsAndCodes(s)) return false;

  // The function library's result does not decide the export's.
  if (ExportQzlib100(s, profiles)) AppendNote(s, "Exporting includes completed");
  if (s.ExportRevisionInformation && s.ProfileRevisionsEnabled) {
    if (ExportQzlib105(s, profiles)) AppendNote(s, "Exporting includes completed");
    if (!RunRuleSteps(s, kRevisionSteps, profiles)) return false;
  }
  return true;
}

}  // namespace

bool ExportMultipleProfiles(ExportState& s) {
  try {
    return ExportChain(s);
  } catch (const std::exception& ex) {
    s.Error.Trap(999, ExportTrapHead("ExportMultipleProfiles"), AsComError(ex));
    return false;
  }
}

}  // namespace Kestrel20ImpExp::detail
