// ExportMultipleProfiles: the pack of a profile together with the chain of
// profiles it is based on, each kept under its own number. It walks the base
// VRCs upwards, writes the header records itself and hands the collected
// applications and profiles to the table writers.
#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "base/error.h"
#include "base/files.h"
#include "base/value.h"
#include "exporter/app_data_writers.h"
#include "exporter/library_writers.h"
#include "exporter/profile_drivers.h"
#include "exporter/rule_table_writers.h"
#include "pack/layout.h"
#include "pack/row_writer.h"
#include "store/connection.h"
#include "store/statements_export.h"

namespace kestrel::exporter {
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

bool RunRuleSteps(ExportContext& ctx, ExportResults& r, std::span<const RuleStep> steps, const std::string& profiles,
                  bool for_sync) {
  for (const auto& step : steps) {
    ctx.AppendProgress(step.started);
    if (!ExportRuleTable(ctx, r, RuleTableMemberOf(step.table), profiles, for_sync)) return false;
    ctx.AppendProgress(step.ended);
  }
  return true;
}

// The profiles of the chain, nearest first, and their applications, each
// once, in the order they were met.
struct Chain {
  std::vector<std::string> applications;
  std::vector<int16_t> profiles;
};

// Takes a profile of the chain: its applications unless already collected,
// its number, and its header record.
void Collect(Chain& chain, pack::RowWriter& headers, const store::Recordset& profile) {
  for (const char* column : {"sapp", "tapp"}) {
    std::string appl = profile.Fields(column).TextOrEmpty();
    if (std::find(chain.applications.begin(), chain.applications.end(), appl) == chain.applications.end())
      chain.applications.push_back(appl);
  }
  chain.profiles.push_back(static_cast<int16_t>(profile.Fields("mprf").Integer()));
  WriteProfileHeader(headers, profile);
}

// The number below which ancestors stay out of the pack: ExportBasedOn's
// numeric value, 0 when it is empty or not a number.
double BasedOnLimit(const std::string& based_on) {
  double limit = 0;
  if (ParseNumber(based_on, limit) != NumberText::Ok) return 0;
  return limit;
}

// "Qzmap100.dat": the header records of the exported profile and of the
// profiles up its base VRCs, down to the based-on limit. The walk is what
// decides which profiles and applications the pack holds, so it returns them;
// nothing when the base VRCs loop (the error says where).
std::optional<Chain> WriteChainHeaders(const ExportOptions& o, ExportContext& ctx, ExportResults& r,
                                       store::Connection& c) {
  auto out = files::TextWriter::Create(ctx.env(), ctx.PackFile(pack::kQzmap100Rows.file));
  r.ListRuleFile(pack::kQzmap100Rows.file);
  ctx.AppendProgress("Exporting Qzmap100 started: ");
  pack::RowWriter headers(pack::kQzmap100Rows, *out);
  Chain chain;

  Vrc base;
  {
    auto rs = c.OpenRecordset(store::SelectChainProfileHeader(c.dialect(), o.MigrationProfileTobeExported));
    if (!rs->IsEOF()) {
      base = BaseVrcOf(*rs);
      Collect(chain, headers, *rs);
    }
    rs->Close();
  }
  const double limit = BasedOnLimit(o.ExportBasedOn);
  while (!base.IsEmpty()) {
    auto rs = c.OpenRecordset(store::SelectChainProfileHeaderByVrc(c.dialect(), base.vers, base.rele, base.cust));
    if (rs->IsEOF()) break;
    const int64_t mprf = rs->Fields("mprf").Integer();
    if (limit >= static_cast<double>(mprf)) break;
    if (std::find(chain.profiles.begin(), chain.profiles.end(), mprf) != chain.profiles.end()) {
      const Error loop = ChainLoop(mprf, o.MigrationProfileTobeExported);
      r.Error.Set(loop.number(), loop.text());
      return std::nullopt;
    }
    base = BaseVrcOf(*rs);
    Collect(chain, headers, *rs);
  }
  out->Close();
  ctx.CountRows(pack::kQzmap100Rows.file, static_cast<int64_t>(headers.rows()));
  ctx.AppendProgress("Exporting Qzmap100 Completed: ");
  return chain;
}

bool WriteChainPack(const ExportOptions& o, ExportContext& ctx, ExportResults& r) {
  store::Connection& c = ctx.Connection();
  const std::optional<Chain> chain = WriteChainHeaders(o, ctx, r, c);
  if (!chain) return false;

  const std::string applications = fmt::format("{}", fmt::join(chain->applications, "|"));
  const std::string profiles = fmt::format("{}", fmt::join(chain->profiles, " "));

  if (!ExportApplicationData(ctx, r, applications, false)) return false;
  if (!RunRuleSteps(ctx, r, kRuleSteps, profiles, o.ExportForSync)) return false;

  if (!ExportFunctionsAndCodes(ctx, r)) return false;

  // The function library's result does not decide the export's.
  if (ExportQzlib100(ctx, r, profiles)) ctx.AppendNote("Exporting includes completed");
  if (r.WithRevisions(o.ExportRevisionInformation)) {
    if (ExportQzlib105(ctx, r, profiles)) ctx.AppendNote("Exporting includes completed");
    if (!RunRuleSteps(ctx, r, kRevisionSteps, profiles, o.ExportForSync)) return false;
  }
  return true;
}

}  // namespace

bool ExportMultipleProfiles(const ExportOptions& o, ExportContext& ctx, ExportResults& r) {
  try {
    return WriteChainPack(o, ctx, r);
  } catch (const std::exception& ex) {
    r.Error.Trap(999, TrapHead::Export, "ExportMultipleProfiles", AsComError(ex));
    return false;
  }
}

}  // namespace kestrel::exporter
