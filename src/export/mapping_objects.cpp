// ExportMappingObjects and ExportObjectEx. The climb from a profile to its
// ancestors is a loop rather than a recursion, so that a store whose parent
// VRCs form a cycle is caught instead of exhausting the stack.
#include "export/mapping_objects.h"

#include <set>
#include <string_view>

#include "component/error.h"
#include "component/errors_ours.h"
#include "pack/layout.h"
#include "pack/naming.h"
#include "store/connection.h"
#include "store/statements_export.h"
#include "store/statements_profiles.h"

namespace Kestrel20ImpExp::detail {
namespace {

constexpr std::string_view kObjectExTrapHead = "UnSpecified Error : --ExportObjectEx-- ";
constexpr std::string_view kMappingObjectsTrapHead = "Unspecified Error : --ExportMappingObjects-- ";

// The current rule tables of a mapping object, in the order they are written.
constexpr const pack::TaggedLayout* kRuleLayouts[] = {
    &pack::kQzmap120, &pack::kQzmap130, &pack::kQzmap140, &pack::kQzmap160, &pack::kQzmap170};
// The revision tables after qzmap110.
constexpr const pack::TaggedLayout* kRevisionLayouts[] = {
    &pack::kQzmap125, &pack::kQzmap135, &pack::kQzmap145, &pack::kQzmap165, &pack::kQzmap175};

files::TextWriter& StreamOf(ExportState& s, const pack::TaggedLayout& layout) {
  auto it = s.RuleStreams.find(std::string(pack::RuleFileName(layout, true)));
  if (it == s.RuleStreams.end() || !it->second)
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
void WriteObjectRows(ExportState& s, store::Recordset& rs, const pack::TaggedLayout& layout,
                     const pack::Identity& exported, const MappingObject& o) {
  if (rs.IsEOF()) return;
  pack::RecordOptions options;
  options.with_ldat = false;
  options.for_sync = s.ExportForSync;
  options.identity = &exported;
  pack::TaggedRecordWriter out(layout, StreamOf(s, layout), options);
  const std::vector<int> binding = pack::BindColumnsOf(layout, rs);
  const int logn = &layout == &pack::kQzmap120 ? ColumnIndex(rs, "logn") : -1;
  for (; !rs.IsEOF(); rs.MoveNext()) {
    out.Write(pack::BoundRow(rs, binding));
    if (logn >= 0) {
      std::string user = rs.Fields(logn).TextOrEmpty();
      if (!user.empty())
        AppendNote(s, "Object Exported " + o.Name() + " but was Checked out by user " + user);
    }
  }
}

void ExportTable(ExportState& s, store::Connection& c, const pack::TaggedLayout& layout, int64_t mprf,
                 const Vrc& vrc, const pack::Identity& exported, const MappingObject& o) {
  auto rs = c.OpenRecordset(ObjectQuery(c, layout, mprf, vrc, o));
  WriteObjectRows(s, *rs, layout, exported, o);
  rs->Close();
}

enum class Level { Written, NoRules, Failed };

// Steps 1 and 2 at one level: the object's rules, and its revisions when asked.
Level ExportObjectAtLevel(ExportState& s, store::Connection& c, const pack::Identity& exported, int64_t mprf,
                          const Vrc& vrc, const MappingObject& o, bool revisions) {
  try {
    auto rules = c.OpenRecordset(ObjectQuery(c, pack::kQzmap120, mprf, vrc, o));
    if (rules->IsEOF()) {
      rules->Close();
      return Level::NoRules;
    }
    AppendProgress(s, "Exporting Mapping Object " + o.Name() + " Started ");
    WriteObjectRows(s, *rules, pack::kQzmap120, exported, o);
    rules->Close();
    for (const auto* layout : kRuleLayouts)
      if (layout != &pack::kQzmap120) ExportTable(s, c, *layout, mprf, vrc, exported, o);
    AppendProgress(s, "Exporting Mapping Object " + o.Name() + " Completed ");

    if (revisions) {
      auto info = c.OpenRecordset(ObjectQuery(c, pack::kQzmap110, mprf, vrc, o));
      AppendProgress(s, "Exporting Revisions for Mapping Object " + o.Name() + " Started ");
      if (info->IsEOF()) {
        info->Close();
        AppendNote(s, "No Revisions Present");
      } else {
        WriteObjectRows(s, *info, pack::kQzmap110, exported, o);
        info->Close();
        for (const auto* layout : kRevisionLayouts) ExportTable(s, c, *layout, mprf, vrc, exported, o);
      }
      AppendProgress(s, "Exporting Revisions for Mapping Object " + o.Name() + " Completed ");
    }
    return Level::Written;
  } catch (const std::exception& ex) {
    s.Error.Trap(999, kObjectExTrapHead, AsComError(ex));
    return Level::Failed;
  }
}

}  // namespace

bool ExportObjectEx(ExportState& s, const pack::Identity& exported, int64_t mprf, const Vrc& vrc,
                    const Vrc& parent, const MappingObject& object, bool revisions, bool may_climb) {
  store::Connection* c = nullptr;
  try {
    c = &ConnectionOf(s);
  } catch (const std::exception& ex) {
    s.Error.Trap(999, kObjectExTrapHead, AsComError(ex));
    return false;
  }
  // The level being looked at; every level above the first reports its
  // failures only through ErrorNumber/ErrorDescription.
  int64_t level_mprf = mprf;
  Vrc level_vrc = vrc, level_parent = parent;
  bool level_revisions = revisions;
  std::set<int64_t> visited{mprf};
  for (bool first = true;; first = false) {
    Level done = ExportObjectAtLevel(s, *c, exported, level_mprf, level_vrc, object, level_revisions);
    if (done == Level::Written) return true;
    if (done == Level::Failed) return !first;
    if (!s.traveseparent || (first && !may_climb)) return true;
    if (level_parent.IsEmpty()) {
      AppendNote(s, "No Mapping Rules Present for the Object : " + object.Name());
      return true;
    }
    try {
      auto up = c->OpenRecordset(
          store::SelectProfileByVrc(c->dialect(), level_parent.vers, level_parent.rele, level_parent.cust));
      if (up->IsEOF()) {
        up->Close();
        s.Error.Set(4, "Error : --ExportObjectEx-- Parent Profile is missing");
        return !first;
      }
      level_mprf = up->Fields("mprf").Integer();
      level_vrc = VrcOf(*up);
      level_parent = BaseVrcOf(*up);
      up->Close();
    } catch (const std::exception& ex) {
      s.Error.Trap(999, kObjectExTrapHead, AsComError(ex));
      return !first;
    }
    if (!visited.insert(level_mprf).second) {
      SetChainLoop(s, level_mprf, mprf);
      return false;
    }
    level_revisions = s.ExportRevisionInformation && s.ProfileRevisionsEnabled;
  }
}

bool ExportMappingObjects(ExportState& s, const std::string& appl, const pack::Identity& exported,
                          const Vrc& parent) {
  try {
    store::Connection& c = ConnectionOf(s);
    auto extn_rs = c.OpenRecordset(store::SelectApplicationExtn(c.dialect(), appl));
    if (extn_rs->IsEOF()) {
      extn_rs->Close();
      s.Error.Set(100, "Error : Qzddi100 - No Data Present for Applications  " + appl);
      return false;
    }
    Value extn = extn_rs->Fields("extn");
    extn_rs->Close();
    const bool extension = !extn.IsNull() && extn.Integer() == 1;
    auto objects = c.OpenRecordset(store::SelectApplicationRows(c.dialect(), extension ? "qzddi140" : "qzlgy140", appl));
    if (objects->IsEOF()) {
      objects->Close();
      s.Error.Set(140, std::string(extension ? "Error : Qzddi140" : "Error : Qzlgy140") +
                           " - No Data Present for Applications  " + appl);
      return false;
    }
    const int64_t mprf = exported.mprf.Integer();
    const Vrc vrc{exported.vers.TextOrEmpty(), exported.rele.TextOrEmpty(), exported.cust.TextOrEmpty()};
    const bool revisions = s.ExportRevisionInformation && s.ProfileRevisionsEnabled;
    int64_t done = 0;
    for (; !objects->IsEOF(); objects->MoveNext()) {
      // Text() fails on NULL, as passing NULL where a text is expected does.
      MappingObject o{objects->Fields("cpac").Text(), objects->Fields("cmod").Text(), objects->Fields("flno").Text()};
      if (!ExportObjectEx(s, exported, mprf, vrc, parent, o, revisions, true)) return false;
      s.Report("mapping objects", ++done);
    }
    objects->Close();
    return true;
  } catch (const std::exception& ex) {
    s.Error.Trap(999, kMappingObjectsTrapHead, AsComError(ex));
    return false;
  }
}

}  // namespace Kestrel20ImpExp::detail
