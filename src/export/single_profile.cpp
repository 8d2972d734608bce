// ExportSingleProfile: the pack of one profile without its ancestors. It
// writes the header files itself, then the application data, the rules of
// every mapping object (inherited ones folded in), the functions, the codes
// and the profile's function library.
#include <string>
#include <string_view>

#include "component/error.h"
#include "component/files.h"
#include "export/app_data_writers.h"
#include "export/library_writers.h"
#include "export/mapping_objects.h"
#include "export/profile_drivers.h"
#include "pack/layout.h"
#include "pack/naming.h"
#include "store/connection.h"
#include "store/statements_export.h"

namespace Kestrel20ImpExp::detail {
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

void CreateRuleStream(ExportState& s, std::string_view name) {
  s.RuleStreams[std::string(name)] = files::TextWriter::Create(files::Join(s.Path, name));
  ListRuleFile(s, name);
}

void CloseRuleStream(ExportState& s, std::string_view name) {
  auto it = s.RuleStreams.find(std::string(name));
  if (it != s.RuleStreams.end() && it->second) it->second->Close();
}

// The streams left open stay open, but what was written to them reaches
// their files now, so the pack is complete while the object lives on.
void FlushOpenRuleStreams(ExportState& s) noexcept {
  for (auto& [name, stream] : s.RuleStreams)
    if (stream) try {
        stream->Flush();
      } catch (...) {
      }
}

// Steps 1-5: "Qzmap100.dat" and "Qzmap101.dat". Returns the number of rows.
int WriteHeaderFiles(ExportState& s, store::Connection& c, Profile& p) {
  AppendProgress(s, "Exporting Qzmap100 Started : ");
  auto rs = c.OpenRecordset(store::SelectSingleProfileHeader(c.dialect(), s.MigrationProfileTobeExported),
                            store::adOpenForwardOnly, store::adLockOptimistic);
  auto headers = files::TextWriter::Create(files::Join(s.Path, pack::kQzmap100Rows.file));
  auto chain = files::TextWriter::Create(files::Join(s.Path, pack::kQzmap101Rows.file));
  ListRuleFile(s, pack::kQzmap100Rows.file);
  ListRuleFile(s, pack::kQzmap101Rows.file);
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
  return count;
}

bool ExportSingleProfileSteps(ExportState& s, bool& streams_created) {
  store::Connection& c = ConnectionOf(s);
  const bool revisions = s.ExportRevisionInformation && s.ProfileRevisionsEnabled;
  Profile p;
  if (WriteHeaderFiles(s, c, p) != 1) {
    s.Error.Set(104, "Error : Qzmap100 - More than One profile Existing for the Same Profile No");
    return false;
  }
  AppendProgress(s, "Exporting Qzmap100 Ended   : ");

  const std::string applications = p.sapp + "|" + p.tapp;
  if (!ExportApplicationData(s, applications, true)) return false;

  AppendProgress(s, "Exporting Mapping Objects Started : ");
  streams_created = true;
  for (auto name : kRuleFiles) CreateRuleStream(s, name);
  if (revisions)
    for (auto name : kRevisionFiles) CreateRuleStream(s, name);

  if (revisions) {
    AppendProgress(s, "Exporting Development VRC Information Started: ");
    auto rs = c.OpenRecordset(store::SelectDevelopmentVrcRows(c.dialect(), s.MigrationProfileTobeExported));
    pack::RowWriter out(pack::kQzmap105Rows, *s.RuleStreams.at(std::string(pack::kQzmap105Rows.file)));
    std::vector<Value> row(pack::kQzmap105Rows.columns.size());
    for (; !rs->IsEOF(); rs->MoveNext()) {
      for (size_t i = 0; i < row.size(); ++i) row[i] = rs->Fields(pack::kQzmap105Rows.columns[i]);
      out.Write(row);
    }
    rs->Close();
    AppendProgress(s, "Exporting Development VRC Information Completed: ");
  }

  if (!ExportMappingObjects(s, p.tapp, p.identity, p.base)) return false;
  for (auto name : kClosedRuleFiles) CloseRuleStream(s, name);
  if (revisions)
    for (auto name : kClosedRevisionFiles) CloseRuleStream(s, name);
  AppendProgress(s, "Exporting Mapping Objects Ended : ");

  if (!ExportFunctionsAndCodes(s)) return false;

  // The function library's result does not decide the export's.
  if (ExportIncludes(s, std::to_string(s.MigrationProfileTobeExported))) AppendNote(s, "Exporting includes completed");
  return true;
}

}  // namespace

bool ExportSingleProfile(ExportState& s) {
  bool streams_created = false;
  bool ok = false;
  try {
    ok = ExportSingleProfileSteps(s, streams_created);
  } catch (const std::exception& ex) {
    s.Error.Trap(999, ExportTrapHead("ExportSingleProfile"), AsComError(ex));
    ok = false;
  }
  if (streams_created) FlushOpenRuleStreams(s);
  return ok;
}

}  // namespace Kestrel20ImpExp::detail
