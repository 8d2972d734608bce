// ExportSingleProfile: the pack of one profile without its ancestors. It
// writes the header files itself, then the application data, the rules of
// every mapping object (inherited ones folded in), the functions, the codes
// and the profile's function library.
#include <memory>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/files.h"
#include "exporter/app_data_writers.h"
#include "exporter/library_writers.h"
#include "exporter/mapping_objects.h"
#include "exporter/profile_drivers.h"
#include "pack/layout.h"
#include "pack/naming.h"
#include "store/connection.h"
#include "store/statements_export.h"

namespace kestrel::exporter {
namespace {

// The rule files the mapping object export writes into, in the order they
// are created; the revision files only when revisions are exported.
constexpr std::string_view kRuleFiles[] = {"Qzmap120.dat", "Qzmap130.dat", "Qzmap140.dat", "Qzmap160.dat",
                                           "Qzmap170.dat"};
constexpr std::string_view kRevisionFiles[] = {"Qzmap125.dat", "Qzmap135.dat", "Qzmap145.dat", "Qzmap165.dat",
                                               "Qzmap110.dat", "Qzmap105.dat", "Qzmap175.dat"};
// The streams closed once the mapping objects are written, in this order.
// The others stay open until the object releases them.
constexpr std::string_view kClosedRuleFiles[] = {"Qzmap120.dat", "Qzmap130.dat", "Qzmap140.dat", "Qzmap160.dat"};
constexpr std::string_view kClosedRevisionFiles[] = {"Qzmap110.dat", "Qzmap125.dat", "Qzmap135.dat",
                                                     "Qzmap145.dat", "Qzmap165.dat"};

// What the procedure keeps of the profile's header row.
struct Profile {
  std::string sapp, tapp;
  pack::Identity identity;
  Vrc base;
};

void CreateRuleStream(ExportContext& ctx, ExportResults& r, std::string_view name) {
  ctx.RuleStreams[std::string(name)] = files::TextWriter::Create(ctx.env(), ctx.PackFile(name));
  r.ListRuleFile(name);
}

void CloseRuleStream(ExportContext& ctx, std::string_view name) {
  auto it = ctx.RuleStreams.find(std::string(name));
  if (it != ctx.RuleStreams.end() && it->second) it->second->Close();
}

// The streams left open stay open, but what was written to them reaches
// their files now, so the pack is complete while the object lives on.
void FlushOpenRuleStreams(ExportContext& ctx) noexcept {
  for (auto& [name, stream] : ctx.RuleStreams)
    if (stream) try {
        stream->Flush();
      } catch (...) {
      }
}

// "Qzmap100.dat" and "Qzmap101.dat": the profile's header record and its
// chain as the pack of a lone profile has it, the profile its own only
// ancestor. Keeps what the rest of the export needs of the header in `p`.
// Returns the number of header rows, which a sound store holds once.
int WriteHeaderFiles(const ExportOptions& o, ExportContext& ctx, ExportResults& r, store::Connection& c, Profile& p) {
  ctx.AppendProgress("Exporting Qzmap100 Started : ");
  auto rs = c.OpenRecordset(store::SelectSingleProfileHeader(c.dialect(), o.MigrationProfileTobeExported));
  auto headers = files::TextWriter::Create(ctx.env(), ctx.PackFile(pack::kQzmap100Rows.file));
  auto chain = files::TextWriter::Create(ctx.env(), ctx.PackFile(pack::kQzmap101Rows.file));
  r.ListRuleFile(pack::kQzmap100Rows.file);
  r.ListRuleFile(pack::kQzmap101Rows.file);
  pack::RowWriter header_rows(pack::kQzmap100Rows, *headers);
  pack::RowWriter chain_rows(pack::kQzmap101Rows, *chain);
  int count = 0;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    p.sapp = rs->Fields("sapp").TextOrEmpty();
    p.tapp = rs->Fields("tapp").TextOrEmpty();
    Vrc vrc = VrcOf(*rs);
    p.identity = {rs->Fields("mprf"), Value(vrc.vers), Value(vrc.rele), Value(vrc.cust)};
    p.base = BaseVrcOf(*rs);
    WriteProfileHeader(header_rows, *rs);
    // The profile is its own level-1 ancestor.
    chain_rows.Write({rs->Fields("mprf"), Value("1"), rs->Fields("vers"), rs->Fields("rele"), rs->Fields("cust"),
                      rs->Fields("mprf")});
    ++count;
  }
  rs->Close();
  headers->Close();
  chain->Close();
  ctx.CountRows(pack::kQzmap100Rows.file, static_cast<int64_t>(header_rows.rows()));
  ctx.CountRows(pack::kQzmap101Rows.file, static_cast<int64_t>(chain_rows.rows()));
  return count;
}

// Every rule file the mapping objects write into is created before the
// first object, so that a pack whose objects have no rules still holds them.
void OpenRuleStreams(ExportContext& ctx, ExportResults& r, bool revisions) {
  for (auto name : kRuleFiles) CreateRuleStream(ctx, r, name);
  if (revisions)
    for (auto name : kRevisionFiles) CreateRuleStream(ctx, r, name);
}

void CloseWrittenRuleStreams(ExportContext& ctx, bool revisions) {
  for (auto name : kClosedRuleFiles) CloseRuleStream(ctx, name);
  if (revisions)
    for (auto name : kClosedRevisionFiles) CloseRuleStream(ctx, name);
}

// The profile's development VRCs ("Qzmap105.dat"), which travel with its
// revisions.
void WriteDevelopmentVrcs(ExportContext& ctx, store::Connection& c, int16_t mprf) {
  ctx.AppendProgress("Exporting Development VRC Information Started: ");
  auto rs = c.OpenRecordset(store::SelectDevelopmentVrcRows(c.dialect(), mprf));
  const pack::RowLayout& layout = pack::kQzmap105Rows;
  pack::RowWriter out(layout, *ctx.RuleStreams.at(std::string(layout.file)));
  ctx.CountRows(layout.file, WriteLayoutRows(out, LayoutPositions(layout, *rs), *rs));
  rs->Close();
  ctx.AppendProgress("Exporting Development VRC Information Completed: ");
}

bool WriteSingleProfilePack(const ExportOptions& o, ExportContext& ctx, ExportResults& r, bool& streams_created) {
  store::Connection& c = ctx.Connection();
  const bool revisions = r.WithRevisions(o.ExportRevisionInformation);
  Profile p;
  if (WriteHeaderFiles(o, ctx, r, c, p) != 1) {
    r.Error.Set(104, "Error : Qzmap100 - More than One profile Existing for the Same Profile No");
    return false;
  }
  ctx.AppendProgress("Exporting Qzmap100 Ended   : ");

  // Started now, the mapping objects' reads are made by a server store
  // while the application data is written.
  const ObjectScope scope{o.traveseparent, o.ExportForSync, revisions};
  std::unique_ptr<store::ReadsAhead> ahead = StartMappingObjectReads(ctx, scope, p.tapp, p.identity, p.base);
  const std::string applications = p.sapp + "|" + p.tapp;
  if (!ExportApplicationData(ctx, r, applications, true)) return false;

  ctx.AppendProgress("Exporting Mapping Objects Started : ");
  streams_created = true;
  OpenRuleStreams(ctx, r, revisions);
  if (revisions) WriteDevelopmentVrcs(ctx, c, o.MigrationProfileTobeExported);

  try {
    if (std::optional<Error> went_on_after = ExportMappingObjects(ctx, scope, p.tapp, p.identity, p.base, ahead.get()))
      r.Error.Set(std::move(*went_on_after));
  } catch (const Failure& e) {
    r.Error.Set(e);
    return false;
  }
  CloseWrittenRuleStreams(ctx, revisions);
  ctx.AppendProgress("Exporting Mapping Objects Ended : ");

  if (!ExportFunctionsAndCodes(ctx, r)) return false;

  // The function library's result does not decide the export's.
  if (ExportIncludes(ctx, r, std::to_string(o.MigrationProfileTobeExported), {o.traveseparent, revisions}))
    ctx.AppendNote("Exporting includes completed");
  return true;
}

}  // namespace

bool ExportSingleProfile(const ExportOptions& o, ExportContext& ctx, ExportResults& r) {
  bool streams_created = false;
  bool ok = false;
  try {
    ok = WriteSingleProfilePack(o, ctx, r, streams_created);
  } catch (const std::exception& ex) {
    r.Error.Trap(999, TrapHead::Export, "ExportSingleProfile", AsComError(ex));
    ok = false;
  }
  if (streams_created) FlushOpenRuleStreams(ctx);
  return ok;
}

}  // namespace kestrel::exporter
