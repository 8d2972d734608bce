// The profile header import and the VRC decisions it makes on the way.
#include "importer/header_import.h"

#include <cctype>
#include <limits>
#include <optional>
#include <vector>

#include <fmt/format.h>

#include "base/cipher.h"
#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "base/text.h"
#include "base/value.h"
#include "importer/entry_points.h"
#include "importer/hierarchy.h"
#include "importer/plan_lookups.h"
#include "importer/run_log.h"
#include "store/connection.h"
#include "store/statements_import_headers.h"
#include "store/statements_profiles.h"

namespace kestrel::importer {
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
  return fmt::format("{}{}", k < 10 ? "imp" : k < 100 ? "im" : "i", k);
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

// The first position of the plan whose target profile number is `mprf`.
size_t TargetPosition(const ImportPlan& p, int64_t mprf) {
  for (size_t k = 0; k < p.size(); ++k)
    if (p.Entries[k].target.profile == mprf) return k;
  RaiseRuntime(rt::SubscriptOutOfRange);
}

// The line of "Qzmap100.dat" in `pack_folder` whose profile number is `pack_mprf`.
std::optional<std::string> FindHeaderLine(Env& env, const std::string& pack_folder, int64_t pack_mprf) {
  auto rows = files::RowReader::Open(env, files::PathInFolder(env, pack_folder, "Qzmap100.dat"));
  while (rows->Next())
    if (NumberOfText(rows->fields().front()) == pack_mprf) return rows->line();
  return std::nullopt;
}

// The header row's values as the run log shows them; the owner stays out of the log.
RunLogEvent RowForLog(const store::ProfileHeaderValues& v) {
  return RunLogEvent{.kind = LogKind::HeaderInserted,
                     .fields = {std::to_string(v.mprf), v.sapp, v.tapp, v.vers, v.rele, v.cust, v.verf, v.relf,
                                v.cusf, v.dsca, v.scme, std::to_string(v.deph), v.apln}};
}

void LogVrc(const ImportContext& cx, LogKind kind, const std::string& element) {
  Log(cx, RunLogEvent{.kind = kind, .vrc = element});
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

enum class Walk { Next, Stop };

// A VRC the store holds already gets a generated customer code.
void RenameTakenVrc(const ImportContext& cx, std::string& element) {
  if (!VRCExists(cx, element)) return;
  LogVrc(cx, LogKind::VrcFromPack, element);
  element = GenerateImportVRC(cx, element);
  LogVrc(cx, LogKind::VrcGenerated, element);
}

// The fields of the pack's header line of the profile that was given the
// element's number, with the user's selection applied. Stop, noting 100, when
// the pack has no such line; a line that does not take the selection raises.
Walk ReadSelectedHeader(const PlannedPack& planned, const ImportContext& cx, std::optional<Error>& noted,
                        const std::string& element, std::vector<std::string>& fields) {
  const int32_t pack_mprf =
      MapTargetProfile(planned.plan, Narrow32(NumberOfText(SplitHeaderEntry(element).Number)));
  const std::optional<std::string> line = FindHeaderLine(cx.env(), planned.options.Path, pack_mprf);
  if (!line) {
    noted = Error(kHeaderLineError, std::string(kHeaderLineMissing));
    return Walk::Stop;
  }
  int32_t selected = 0;
  ApplySelectionToHeader(planned.plan, planned.options.FieldSeparator, *line, selected, fields);
  return Walk::Next;
}

// Update profiles: a "U" version on a pair the store does not serve yet
// becomes a "Z" version; a derived profile (plan entry `i`) on a served pair
// gets an update version of its own. Raises a Failure when no update version
// is left.
void GiveUpdateVrc(const ImportContext& cx, const ImportPlan& plan, size_t i, const std::string& sapp,
                   const std::string& tapp, std::string& element) {
  std::string versions;
  const bool pair_served = VersionsWithApplications(cx, sapp, tapp, versions);
  HeaderEntry e = SplitHeaderEntry(element);
  if (!pair_served && HasUpdateMarker(e.Vers)) {
    LogVrc(cx, LogKind::VrcPresent, element);
    e.Vers = e.Vers.substr(0, 3) + "Z";
    element = JoinHeaderEntry(e);
    if (VRCExists(cx, element)) element = GenerateImportVRC(cx, element);
    LogVrc(cx, LogKind::VrcGenerated, element);
  } else if (pair_served) {
    bool released = false;
    for (const auto& v : text::Split(versions, "|"))
      if (!EndsInUpdateMarker(v)) released = true;
    if (released && plan.At(i).target.parent >= 1) {
      LogVrc(cx, LogKind::VrcPresent, element);
      if (!HasUpdateMarker(e.Vers)) {
        const std::string before = element;
        element = GenerateUpdateVRC(cx, element);
        if (element.empty())
          throw Failure(Number(Ours::UpdateVrcExhausted),
                        fmt::format("{}: {}", DefaultText(Ours::UpdateVrcExhausted), before));
      }
      LogVrc(cx, LogKind::VrcForUpdateProfile, element);
    }
  }
}

// The depth of a profile under its chosen parent. A failure keeps the depth
// reached so far, is logged and noted with its text under the number noted
// before; the import goes on.
int32_t DepthUnderParent(const ImportContext& cx, std::optional<Error>& noted, int64_t mprf, int32_t parent) {
  int32_t mprf32 = Narrow32(mprf);
  int32_t depth = 1;
  try {
    GetDepthOfProfile(cx, mprf32, parent, depth);
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    noted = Error(noted ? noted->number() : 0, e.description());
    LogFailure(cx, e);
  }
  return depth;
}

// The header row of a profile from its selected header fields and the VRC
// decided for it: its parent's VRC, its depth, the owner enciphered.
// A parent VRC that cannot be had is noted and left empty.
store::ProfileHeaderValues HeaderRow(const PlannedPack& planned, const ImportContext& cx, std::optional<Error>& noted,
                                     const std::vector<std::string>& fields, const std::string& element) {
  store::ProfileHeaderValues row;
  row.mprf = NumberOfText(fields[0]);
  const HeaderEntry e = SplitHeaderEntry(element);
  row.sapp = fields[1];
  row.tapp = fields[2];
  row.vers = e.Vers;
  row.rele = e.Rele;
  row.cust = e.Cust;

  const ImportPlan& plan = planned.plan;
  const int32_t parent = plan.At(TargetPosition(plan, row.mprf)).target.parent;
  std::vector<std::string> parent_vrc(5);
  try {
    parent_vrc = GetProfileVRC(cx, std::to_string(parent));
  } catch (const Failure& failed) {
    noted = failed;
  }
  row.verf = parent_vrc[1];
  row.relf = parent_vrc[2];
  row.cusf = parent_vrc[3];
  row.deph = DepthUnderParent(cx, noted, row.mprf, parent);

  row.scme = planned.manifest.revisions ? "Y" : "N";
  EncipherForStore(fields[12], row.owner);
  row.dsca = fields[9];
  row.apln = fields[17];
  return row;
}

// Writes the header row, its development VRC when the pack has revision
// information, its chain, and the owner's assignment. A chain that cannot be
// written is noted; the owner is still assigned.
void StoreHeader(const ImportContext& cx, std::optional<Error>& noted, bool revisions,
                 const store::ProfileHeaderValues& row, const std::string& owner) {
  Connection& c = ConnectionOf(cx);
  Log(cx, RowForLog(row));
  c.Execute(store::InsertProfileHeader(c.dialect(), row));
  if (revisions)
    c.Execute(store::InsertDevelopmentVrc(c.dialect(), row.mprf, row.vers, row.rele, row.cust,
                                          DevelopmentPart(row.vers), row.rele, DevelopmentPart(row.cust)));
  try {
    InsertInMap101(cx, Narrow16(row.mprf), row.vers, row.rele, row.cust, Narrow16(row.deph), row.verf, row.relf,
                   row.cusf);
  } catch (const Failure& e) {
    noted = e;
  }
  AssignOwner(c, owner, row.mprf);
}

// Imports the header of the element at position `i` of the map; `element`
// receives the VRC decided for it.
Walk ImportOneHeader(const PlannedPack& planned, const ImportContext& cx, std::optional<Error>& noted, size_t i,
                     std::string& element, std::string& strImported) {
  RenameTakenVrc(cx, element);
  std::vector<std::string> fields;
  if (const Walk read = ReadSelectedHeader(planned, cx, noted, element, fields); read != Walk::Next) return read;
  GiveUpdateVrc(cx, planned.plan, i, fields[1], fields[2], element);
  strImported += "," + fields[0];
  const store::ProfileHeaderValues row = HeaderRow(planned, cx, noted, fields, element);
  StoreHeader(cx, noted, planned.manifest.revisions, row, fields[12]);
  return Walk::Next;
}

}  // namespace

bool VRCExists(const ImportContext& cx, const std::string& element) {
  Connection& c = ConnectionOf(cx);
  const HeaderEntry e = SplitHeaderEntry(element);
  return HasRow(c, store::SelectProfileByJoinedVrc(c.dialect(), e.Vers, e.Rele, e.Cust));
}

std::string GenerateImportVRC(const ImportContext& cx, const std::string& element) {
  Connection& c = ConnectionOf(cx);
  HeaderEntry e = SplitHeaderEntry(element);
  for (int k = 1; k < 1000; ++k) {
    e.Cust = ImportCustomerCode(k);
    if (!VrcTaken(c, e)) return JoinHeaderEntry(e);
  }
  return element;
}

bool VersionsWithApplications(const ImportContext& cx, const std::string& sapp, const std::string& tapp,
                              std::string& versions) {
  Connection& c = ConnectionOf(cx);
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

std::string GenerateUpdateVRC(const ImportContext& cx, const std::string& element) {
  Connection& c = ConnectionOf(cx);
  HeaderEntry e = SplitHeaderEntry(element);
  const std::string start = e.Vers;
  e.Vers = start.substr(0, 3) + "U";
  for (int k = 0; k < 100; ++k) {
    if (k >= 1) e.Vers = fmt::format("{}{}U", start.substr(0, k < 10 ? 2 : 1), k);
    if (!VrcTaken(c, e)) return JoinHeaderEntry(e);
  }
  return {};
}

std::optional<Error> ImportProfileHeaders(const PlannedPack& planned, const ImportContext& cx,
                                          std::vector<std::string>& header_map, std::string& strImported) {
  return UnderTrap(kHeaderImportUnexpected, TrapHead::Import, "ImportProfileHeaders", [&]() -> std::optional<Error> {
    std::optional<Error> noted;
    // The renamed map replaces the caller's only once every element is done,
    // so that the map stays as it was when the walk stops early.
    std::vector<std::string> map = header_map;
    for (size_t i = 0; i < map.size(); ++i)
      if (ImportOneHeader(planned, cx, noted, i, map[i], strImported) == Walk::Stop) return noted;
    header_map = std::move(map);
    Log(cx, RunLogEvent{.kind = LogKind::ProfilesImported,
                        .text = ImportedProfiles(header_map, planned.options.FieldSeparator)});
    return noted;
  });
}

}  // namespace kestrel::importer
