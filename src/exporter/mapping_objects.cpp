// ExportMappingObjects and ExportObjectEx. The climb from a profile to its
// ancestors is a loop rather than a recursion, so that a store whose parent
// VRCs form a cycle is caught instead of exhausting the stack.
#include "exporter/mapping_objects.h"

#include <iterator>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "pack/layout.h"
#include "pack/naming.h"
#include "store/connection.h"
#include "store/statements_export.h"
#include "store/statements_profiles.h"

namespace kestrel::exporter {
namespace {

constexpr std::string_view kObjectExTrapHead = "UnSpecified Error : --ExportObjectEx-- ";
constexpr std::string_view kMappingObjectsTrapHead = "Unspecified Error : --ExportMappingObjects-- ";

// The current rule tables of a mapping object, in the order they are written.
constexpr const pack::TaggedLayout* kRuleLayouts[] = {
    &pack::kQzmap120, &pack::kQzmap130, &pack::kQzmap140, &pack::kQzmap160, &pack::kQzmap170};
// The revision tables after qzmap110.
constexpr const pack::TaggedLayout* kRevisionLayouts[] = {
    &pack::kQzmap125, &pack::kQzmap135, &pack::kQzmap145, &pack::kQzmap165, &pack::kQzmap175};

files::TextWriter& StreamOf(ExportContext& ctx, const pack::TaggedLayout& layout) {
  auto it = ctx.RuleStreams.find(std::string(pack::RuleFileName(layout, true)));
  if (it == ctx.RuleStreams.end() || !it->second)
    Raise(Ours::Internal, "The rule file " + std::string(pack::RuleFileName(layout, true)) + " is not open");
  return *it->second;
}

store::Query ObjectQuery(const store::Connection& c, const pack::TaggedLayout& layout, int64_t mprf,
                         const Vrc& vrc, const MappingObject& o) {
  return store::SelectObjectRows(c.dialect(), layout.table, mprf, vrc.vers, vrc.rele, vrc.cust, o.pac, o.mod,
                                 o.flno);
}

// Writes the rows of an open query as records of the exported profile. For
// qzmap120 a row whose logn names a user adds the checked-out warning.
void WriteObjectRows(ExportContext& ctx, store::Recordset& rs, const pack::TaggedLayout& layout,
                     const pack::Identity& exported, const MappingObject& o, bool for_sync) {
  if (rs.IsEOF()) return;
  pack::RecordOptions options;
  options.with_ldat = false;
  options.for_sync = for_sync;
  options.identity = &exported;
  pack::TaggedRecordWriter out(layout, StreamOf(ctx, layout), options);
  const std::vector<int> binding = pack::BindColumnsOf(layout, rs);
  const int logn = &layout == &pack::kQzmap120 ? ColumnIndex(rs, "logn") : -1;
  for (; !rs.IsEOF(); rs.MoveNext()) {
    out.Write(pack::BoundRow(rs, binding));
    if (logn >= 0) {
      std::string user = rs.Fields(logn).TextOrEmpty();
      if (!user.empty())
        ctx.AppendNote("Object Exported " + o.Name() + " but was Checked out by user " + user);
    }
  }
}

// Where the rows of one level come from and what they are written as.
struct Level {
  int64_t mprf;
  const Vrc& vrc;
  const pack::Identity& exported;
  const MappingObject& object;
  bool for_sync;
};

void ExportTable(ExportContext& ctx, store::Connection& c, const pack::TaggedLayout& layout, const Level& at) {
  auto rs = c.OpenRecordset(ObjectQuery(c, layout, at.mprf, at.vrc, at.object));
  WriteObjectRows(ctx, *rs, layout, at.exported, at.object, at.for_sync);
  rs->Close();
}

// The object's rows of several tables at one level, table after table. The
// selects are opened together, which a server store answers in one round
// trip; when that fails they go one by one, so that the rows of the tables
// before a refused select are written as they would be. The rows of
// `ahead`, when given, are opened with them and handed back unread in
// `ahead_rows` (left empty when the selects went one by one).
void ExportTables(ExportContext& ctx, store::Connection& c, const std::vector<const pack::TaggedLayout*>& layouts,
                  const Level& at, const pack::TaggedLayout* ahead = nullptr,
                  std::unique_ptr<store::Recordset>* ahead_rows = nullptr) {
  std::vector<store::Query> queries;
  for (const auto* layout : layouts) queries.push_back(ObjectQuery(c, *layout, at.mprf, at.vrc, at.object));
  if (ahead) queries.push_back(ObjectQuery(c, *ahead, at.mprf, at.vrc, at.object));
  std::vector<std::unique_ptr<store::Recordset>> opened;
  try {
    opened = c.OpenRecordsets(queries);
  } catch (const std::exception&) {
    for (const auto* layout : layouts) ExportTable(ctx, c, *layout, at);
    return;
  }
  for (size_t i = 0; i < layouts.size(); ++i) {
    WriteObjectRows(ctx, *opened[i], *layouts[i], at.exported, at.object, at.for_sync);
    opened[i]->Close();
  }
  if (ahead) *ahead_rows = std::move(opened.back());
}

// The object's current rules at one level, qzmap120 first: a level without
// qzmap120 rows has no rules for the object at all, and the caller may look
// further up. False in that case, with nothing written. With `info` the
// object's qzmap110 rows are opened with the other rule tables (see
// WriteObjectRevisions).
bool WriteObjectRules(ExportContext& ctx, store::Connection& c, const Level& at,
                      std::unique_ptr<store::Recordset>* info) {
  auto rules = c.OpenRecordset(ObjectQuery(c, pack::kQzmap120, at.mprf, at.vrc, at.object));
  if (rules->IsEOF()) {
    rules->Close();
    return false;
  }
  ctx.AppendProgress("Exporting Mapping Object " + at.object.Name() + " Started ");
  WriteObjectRows(ctx, *rules, pack::kQzmap120, at.exported, at.object, at.for_sync);
  rules->Close();
  std::vector<const pack::TaggedLayout*> others;
  for (const auto* layout : kRuleLayouts)
    if (layout != &pack::kQzmap120) others.push_back(layout);
  ExportTables(ctx, c, others, at, info ? &pack::kQzmap110 : nullptr, info);
  ctx.AppendProgress("Exporting Mapping Object " + at.object.Name() + " Completed ");
  return true;
}

// The object's revisions at the level its rules came from; the other revision
// tables hang off qzmap110, so without it there is nothing to write. `info`
// holds its rows when they were opened already.
void WriteObjectRevisions(ExportContext& ctx, store::Connection& c, const Level& at,
                          std::unique_ptr<store::Recordset> info) {
  if (!info) info = c.OpenRecordset(ObjectQuery(c, pack::kQzmap110, at.mprf, at.vrc, at.object));
  ctx.AppendProgress("Exporting Revisions for Mapping Object " + at.object.Name() + " Started ");
  if (info->IsEOF()) {
    info->Close();
    ctx.AppendNote("No Revisions Present");
  } else {
    WriteObjectRows(ctx, *info, pack::kQzmap110, at.exported, at.object, at.for_sync);
    info->Close();
    ExportTables(ctx, c, {std::begin(kRevisionLayouts), std::end(kRevisionLayouts)}, at);
  }
  ctx.AppendProgress("Exporting Revisions for Mapping Object " + at.object.Name() + " Completed ");
}

enum class Outcome { Written, NoRules, Failed };

Outcome ExportObjectAtLevel(ExportContext& ctx, ErrorState& error, store::Connection& c, const Level& at,
                            bool revisions) {
  try {
    std::unique_ptr<store::Recordset> info;
    if (!WriteObjectRules(ctx, c, at, revisions ? &info : nullptr)) return Outcome::NoRules;
    if (revisions) WriteObjectRevisions(ctx, c, at, std::move(info));
    return Outcome::Written;
  } catch (const std::exception& ex) {
    error.Trap(999, kObjectExTrapHead, AsComError(ex));
    return Outcome::Failed;
  }
}

}  // namespace

bool ExportObjectEx(ExportContext& ctx, ErrorState& error, const ObjectScope& scope, const pack::Identity& exported,
                    int64_t mprf, const Vrc& vrc, const Vrc& parent, const MappingObject& object, bool revisions,
                    bool may_climb) {
  store::Connection* c = nullptr;
  try {
    c = &ctx.Connection();
  } catch (const std::exception& ex) {
    error.Trap(999, kObjectExTrapHead, AsComError(ex));
    return false;
  }
  // The level being looked at; every level above the first reports its
  // failures only through ErrorNumber/ErrorDescription.
  int64_t level_mprf = mprf;
  Vrc level_vrc = vrc, level_parent = parent;
  bool level_revisions = revisions;
  std::set<int64_t> visited{mprf};
  for (bool first = true;; first = false) {
    const Outcome done = ExportObjectAtLevel(
        ctx, error, *c, Level{level_mprf, level_vrc, exported, object, scope.for_sync}, level_revisions);
    if (done == Outcome::Written) return true;
    if (done == Outcome::Failed) return !first;
    if (!scope.traverse_parents || (first && !may_climb)) return true;
    if (level_parent.IsEmpty()) {
      ctx.AppendNote("No Mapping Rules Present for the Object : " + object.Name());
      return true;
    }
    try {
      auto up = c->OpenRecordset(
          store::SelectProfileByVrc(c->dialect(), level_parent.vers, level_parent.rele, level_parent.cust));
      if (up->IsEOF()) {
        up->Close();
        error.Set(4, "Error : --ExportObjectEx-- Parent Profile is missing");
        return !first;
      }
      level_mprf = up->Fields("mprf").Integer();
      level_vrc = VrcOf(*up);
      level_parent = BaseVrcOf(*up);
      up->Close();
    } catch (const std::exception& ex) {
      error.Trap(999, kObjectExTrapHead, AsComError(ex));
      return !first;
    }
    if (!visited.insert(level_mprf).second) {
      SetChainLoop(error, level_mprf, mprf);
      return false;
    }
    level_revisions = scope.revisions;
  }
}

bool ExportMappingObjects(ExportContext& ctx, ErrorState& error, const ObjectScope& scope, const std::string& appl,
                          const pack::Identity& exported, const Vrc& parent) {
  try {
    store::Connection& c = ctx.Connection();
    auto extn_rs = c.OpenRecordset(store::SelectApplicationExtn(c.dialect(), appl));
    if (extn_rs->IsEOF()) {
      extn_rs->Close();
      error.Set(100, "Error : Qzddi100 - No Data Present for Applications  " + appl);
      return false;
    }
    Value extn = extn_rs->Fields("extn");
    extn_rs->Close();
    const bool extension = !extn.IsNull() && extn.Integer() == 1;
    auto objects = c.OpenRecordset(store::SelectApplicationRows(c.dialect(), extension ? "qzddi140" : "qzlgy140", appl));
    if (objects->IsEOF()) {
      objects->Close();
      error.Set(140, std::string(extension ? "Error : Qzddi140" : "Error : Qzlgy140") +
                           " - No Data Present for Applications  " + appl);
      return false;
    }
    const int64_t mprf = exported.mprf.Integer();
    const Vrc vrc{exported.vers.TextOrEmpty(), exported.rele.TextOrEmpty(), exported.cust.TextOrEmpty()};
    int64_t done = 0;
    for (; !objects->IsEOF(); objects->MoveNext()) {
      // Text() fails on NULL, as passing NULL where a text is expected does.
      MappingObject o{objects->Fields("cpac").Text(), objects->Fields("cmod").Text(), objects->Fields("flno").Text()};
      if (!ExportObjectEx(ctx, error, scope, exported, mprf, vrc, parent, o, scope.revisions, true)) return false;
      ctx.Report("mapping objects", ++done);
    }
    objects->Close();
    return true;
  } catch (const std::exception& ex) {
    error.Trap(999, kMappingObjectsTrapHead, AsComError(ex));
    return false;
  }
}

}  // namespace kestrel::exporter
