// The profile header import and the VRC decisions it makes on the way.
#include "import/header_import.h"

#include <cctype>
#include <limits>
#include <optional>
#include <vector>

#include "component/cipher.h"
#include "component/error.h"
#include "component/errors_ours.h"
#include "component/files.h"
#include "component/row_reader.h"
#include "component/text.h"
#include "component/value.h"
#include "import/entry_points.h"
#include "import/hierarchy.h"
#include "import/plan_lookups.h"
#include "import/run_log.h"
#include "store/connection.h"
#include "store/statements_import_headers.h"
#include "store/statements_profiles.h"

namespace Kestrel20ImpExp::detail {
namespace {

using store::Connection;

bool Empty(const store::Recordset& rs) { return rs.BOF() && rs.IsEOF(); }

bool HasRow(Connection& c, const std::string& statement) { return !Empty(*c.OpenRecordset(statement)); }

// Whether the store holds the VRC compared column by column.
bool VrcTaken(Connection& c, const HeaderEntry& e) {
  return HasRow(c, store::SelectProfileByVrc(c.dialect(), e.Vers, e.Rele, e.Cust));
}

// The customer codes the import generates are four characters long.
std::string ImportCustomerCode(int k) {
  const std::string digits = std::to_string(k);
  if (k < 10) return "imp" + digits;
  if (k < 100) return "im" + digits;
  return "i" + digits;
}

// The fourth character of vers is an update marker "U" (either case).
bool HasUpdateMarker(std::string_view vers) {
  return vers.size() >= 4 && std::toupper(static_cast<unsigned char>(vers[3])) == 'U';
}

bool EndsInUpdateMarker(std::string_view vers) {
  return !vers.empty() && std::toupper(static_cast<unsigned char>(vers.back())) == 'U';
}

// Numbers that the chain procedures take as 16-bit integers.
int16_t Narrow16(int64_t n) {
  if (n < std::numeric_limits<int16_t>::min() || n > std::numeric_limits<int16_t>::max())
    RaiseRuntime(rt::Overflow);
  return static_cast<int16_t>(n);
}

int32_t Narrow32(int64_t n) {
  if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
    RaiseRuntime(rt::Overflow);
  return static_cast<int32_t>(n);
}

int64_t NumberOfText(std::string_view number) { return Value(std::string(number)).Integer(); }

// The first position of the plan whose target profile number is `mprf`.
size_t TargetPosition(const ImportPlan& p, int64_t mprf) {
  for (size_t k = 0; p.Size >= 0 && k <= static_cast<size_t>(p.Size); ++k)
    if (PlanAt(p, p.TargetProfiles[0], k) == mprf) return k;
  RaiseRuntime(rt::SubscriptOutOfRange);
}

// The line of "Qzmap100.dat" whose profile number is `pack_mprf`.
std::optional<std::string> FindHeaderLine(const ImportState& s, int64_t pack_mprf) {
  auto rows = files::RowReader::Open(files::PathInFolder(s.Path, "Qzmap100.dat"));
  while (rows->Next())
    if (NumberOfText(rows->fields().front()) == pack_mprf) return rows->line();
  return std::nullopt;
}

// The header row as the run log shows it; the owner stays out of the log.
std::string RowForLog(const store::ProfileHeaderValues& v) {
  std::string out = "Inserting qzmap100: " + std::to_string(v.mprf);
  for (const std::string* f : {&v.sapp, &v.tapp, &v.vers, &v.rele, &v.cust, &v.verf, &v.relf, &v.cusf, &v.dsca,
                               &v.scme})
    out += "|" + *f;
  out += "|" + std::to_string(v.deph) + "|" + v.apln;
  return out;
}

// Gives the pack's owner to the profile when the store knows the user and
// the profile is not yet assigned to them.
void AssignOwner(Connection& c, const std::string& owner, int64_t mprf) {
  auto users = c.OpenRecordset(store::SelectStoredUser(c.dialect(), owner));
  if (Empty(*users)) return;
  const std::string user = users->Fields(0).TextOrEmpty();
  users.reset();
  if (!HasRow(c, store::SelectUserAssignment(c.dialect(), user, mprf)))
    c.Execute(store::InsertUserAssignment(c.dialect(), user, mprf));
}

enum class Walk { Next, Stop, Fail };

// Steps 1 to 13 for one element; `element` receives the VRC decided for it.
Walk ImportOneHeader(ImportState& s, size_t i, std::string& element, std::string& strImported) {
  Connection& c = ConnectionOf(s);

  // A VRC the store holds already gets a generated customer code.
  if (VRCExists(s, element)) {
    WriteImportLog(s, "VRC from Logic pack: " + element);
    element = GenerateImportVRC(s, element);
    WriteImportLog(s, "Generated VRC: " + element);
  }

  // The pack's header line of the profile that was given this number.
  const int32_t pack_mprf = MapTargetProfile(s, Narrow32(NumberOfText(SplitHeaderEntry(element).Number)));
  const std::optional<std::string> line = FindHeaderLine(s, pack_mprf);
  if (!line) {
    s.Error.Set(kHeaderLineError, std::string(kHeaderLineMissing));
    return Walk::Stop;
  }
  int32_t selected = 0;
  std::vector<std::string> fields;
  if (!ApplySelectionToHeader(s, *line, selected, fields)) return Walk::Fail;
  const std::string& sapp = fields[1];
  const std::string& tapp = fields[2];

  // Update profiles: a "U" version on a pair the store does not serve yet
  // becomes a "Z" version; a derived profile on a served pair gets an update
  // version of its own.
  std::string versions;
  const bool pair_served = VersionsWithApplications(s, sapp, tapp, versions);
  HeaderEntry e = SplitHeaderEntry(element);
  if (!pair_served && HasUpdateMarker(e.Vers)) {
    WriteImportLog(s, "Present VRC name: " + element);
    e.Vers = e.Vers.substr(0, 3) + "Z";
    element = JoinHeaderEntry(e);
    if (VRCExists(s, element)) element = GenerateImportVRC(s, element);
    WriteImportLog(s, "Generated VRC: " + element);
  } else if (pair_served) {
    bool released = false;
    for (const auto& v : text::Split(versions, "|"))
      if (!EndsInUpdateMarker(v)) released = true;
    if (released && PlanAt(s.Plan, s.Plan.TargetProfiles[1], i) >= 1) {
      WriteImportLog(s, "Present VRC name: " + element);
      if (!HasUpdateMarker(e.Vers)) {
        const std::string before = element;
        element = GenerateUpdateVRC(s, element);
        if (element.empty()) {
          s.Error.Set(Number(Ours::UpdateVrcExhausted),
                      std::string(DefaultText(Ours::UpdateVrcExhausted)) + ": " + before);
          return Walk::Fail;
        }
      }
      WriteImportLog(s, "VRC Name for Update Profile: " + element);
    }
  }

  store::ProfileHeaderValues row;
  row.mprf = NumberOfText(fields[0]);
  strImported += "," + fields[0];
  e = SplitHeaderEntry(element);
  row.sapp = sapp;
  row.tapp = tapp;
  row.vers = e.Vers;
  row.rele = e.Rele;
  row.cust = e.Cust;

  // The parent chosen for the profile, its VRC and the depth under it.
  int32_t parent = PlanAt(s.Plan, s.Plan.TargetProfiles[1], TargetPosition(s.Plan, row.mprf));
  std::vector<std::string> parent_vrc;
  GetProfileVRC(s, std::to_string(parent), parent_vrc);
  row.verf = parent_vrc[1];
  row.relf = parent_vrc[2];
  row.cusf = parent_vrc[3];
  int32_t mprf32 = Narrow32(row.mprf);
  int32_t depth = 1;
  try {
    GetDepthOfProfile(s, mprf32, parent, depth);
  } catch (const std::exception& ex) {
    // The depth reached so far is kept; the import goes on.
    s.Error.ErrorDescription = AsComError(ex).description();
    WriteImportLog(s, s.Error.ErrorDescription);
  }
  row.deph = depth;

  std::string dver, drel, dcus;
  if (s.ManifestRevisions) {
    row.scme = "Y";
    dver = "d" + (row.vers.empty() ? std::string() : row.vers.substr(1));
    drel = row.rele;
    dcus = "d" + (row.cust.empty() ? std::string() : row.cust.substr(1));
  } else {
    row.scme = "N";
  }
  const std::string& owner = fields[12];
  EncipherForStore(owner, row.owner);
  row.dsca = fields[9];
  row.apln = fields[17];

  WriteImportLog(s, RowForLog(row));
  c.Execute(store::InsertProfileHeader(c.dialect(), row));
  if (s.ManifestRevisions)
    c.Execute(store::InsertDevelopmentVrc(c.dialect(), row.mprf, row.vers, row.rele, row.cust, dver, drel, dcus));

  // A chain that cannot be written leaves its error in the state; the owner
  // is still assigned.
  InsertInMap101(s, Narrow16(row.mprf), row.vers, row.rele, row.cust, Narrow16(row.deph), row.verf, row.relf,
                 row.cusf);
  AssignOwner(c, owner, row.mprf);
  return Walk::Next;
}

}  // namespace

bool VRCExists(ImportState& s, const std::string& element) {
  Connection& c = ConnectionOf(s);
  const HeaderEntry e = SplitHeaderEntry(element);
  return HasRow(c, store::SelectProfileByJoinedVrc(c.dialect(), e.Vers, e.Rele, e.Cust));
}

std::string GenerateImportVRC(ImportState& s, const std::string& element) {
  Connection& c = ConnectionOf(s);
  HeaderEntry e = SplitHeaderEntry(element);
  for (int k = 1; k < 1000; ++k) {
    e.Cust = ImportCustomerCode(k);
    if (!VrcTaken(c, e)) return JoinHeaderEntry(e);
  }
  return element;
}

bool VersionsWithApplications(ImportState& s, const std::string& sapp, const std::string& tapp,
                              std::string& versions) {
  Connection& c = ConnectionOf(s);
  versions.clear();
  bool any = false;
  auto rs = c.OpenRecordset(store::SelectProfilesOfApplicationPair(c.dialect(), sapp, tapp));
  for (; !rs->IsEOF(); rs->MoveNext()) {
    if (any) versions += "|";
    versions += rs->Fields("vers").TextOrEmpty();
    any = true;
  }
  return any;
}

std::string GenerateUpdateVRC(ImportState& s, const std::string& element) {
  Connection& c = ConnectionOf(s);
  HeaderEntry e = SplitHeaderEntry(element);
  const std::string start = e.Vers;
  e.Vers = start.substr(0, 3) + "U";
  for (int k = 0; k < 100; ++k) {
    if (k >= 1) e.Vers = start.substr(0, k < 10 ? 2 : 1) + std::to_string(k) + "U";
    if (!VrcTaken(c, e)) return JoinHeaderEntry(e);
  }
  return {};
}

bool ImportProfileHeaders(ImportState& s, std::string& strImported) {
  try {
    // The renamed map replaces the object's only once every element is done,
    // so that the map and ImportedProfiles stay as they were when the walk
    // stops early.
    std::vector<std::string> map = s.HeaderMap;
    for (size_t i = 0; i < map.size(); ++i) {
      switch (ImportOneHeader(s, i, map[i], strImported)) {
        case Walk::Next: break;
        case Walk::Stop: return true;
        case Walk::Fail: return false;
      }
    }
    SetHeaderMap(s, std::move(map));
    WriteImportLog(s, "Imported profiles: " + s.ImportedProfiles);
    return true;
  } catch (const std::exception& ex) {
    s.Error.Trap(kHeaderImportUnexpected, ImportTrapHead("ImportProfileHeaders"), AsComError(ex));
    return false;
  }
}

}  // namespace Kestrel20ImpExp::detail
