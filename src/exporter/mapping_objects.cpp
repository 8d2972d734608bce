// ExportMappingObjects. The chain above the exported profile is the same for
// every object: it is looked up once, as a loop rather than a recursion, so
// that a store whose parent VRCs form a cycle is caught instead of climbed
// for ever. Each rule table is then read once for all objects, in the order
// the pack writes them, and merged object by object.
#include "exporter/mapping_objects.h"

#include <compare>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "exporter/object_rule_rows.h"
#include "exporter/rows_in_object_order.h"
#include "pack/layout.h"
#include "pack/naming.h"
#include "store/connection.h"
#include "store/statements_export.h"
#include "store/statements_export_objects.h"
#include "store/statements_profiles.h"

namespace kestrel::exporter {
namespace {

// The procedures whose traps catch what goes wrong here.
constexpr std::string_view kObjectEx = "ExportObjectEx";
constexpr std::string_view kMappingObjects = "ExportMappingObjects";

// The current rule tables of a mapping object, in the order they are written.
constexpr const pack::TaggedLayout* kRuleLayouts[] = {
    &pack::kQzmap120, &pack::kQzmap130, &pack::kQzmap140, &pack::kQzmap160, &pack::kQzmap170};
// The revision tables after qzmap110, which they hang off.
constexpr const pack::TaggedLayout* kRevisionLayouts[] = {
    &pack::kQzmap125, &pack::kQzmap135, &pack::kQzmap145, &pack::kQzmap165, &pack::kQzmap175};

// The profiles an object's rules may come from, the exported one first, and
// what an object that finds rules at none of them meets above the last.
struct Chain {
  enum class End {
    NotClimbed,     // the scope does not climb: the object is left out
    Root,           // a profile based on none: a note says the object has no rules
    MissingParent,  // no profile has the parent VRC
    LookupFailed,   // looking the parent up failed (`failure`)
    Loop            // the parent is a profile of the chain already (`reached`)
  };
  std::vector<store::RuleLevel> levels;
  End end = End::NotClimbed;
  std::optional<ComError> failure;
  int64_t reached = 0;
};

Chain ChainOf(store::Connection& c, const ObjectScope& scope, int64_t mprf, const Vrc& vrc, const Vrc& parent) {
  Chain chain;
  chain.levels.push_back({mprf, vrc.vers, vrc.rele, vrc.cust});
  if (!scope.traverse_parents) return chain;
  std::set<int64_t> visited{mprf};
  for (Vrc above = parent;;) {
    if (above.IsEmpty()) {
      chain.end = Chain::End::Root;
      return chain;
    }
    try {
      auto up = c.OpenRecordset(store::SelectProfileByVrc(c.dialect(), above.vers, above.rele, above.cust));
      if (up->IsEOF()) {
        up->Close();
        chain.end = Chain::End::MissingParent;
        return chain;
      }
      const int64_t up_mprf = up->Fields("mprf").Integer();
      const Vrc up_vrc = VrcOf(*up);
      above = BaseVrcOf(*up);
      up->Close();
      if (!visited.insert(up_mprf).second) {
        chain.end = Chain::End::Loop;
        chain.reached = up_mprf;
        return chain;
      }
      chain.levels.push_back({up_mprf, up_vrc.vers, up_vrc.rele, up_vrc.cust});
    } catch (const std::exception& ex) {
      chain.end = Chain::End::LookupFailed;
      chain.failure = AsComError(ex);
      return chain;
    }
  }
}

// An object without rules at any level of the chain. A failure above the
// exported profile's parent is noted and the export goes on; one at the
// parent, and a loop, are raised.
void NoRulesAnywhere(ExportContext& ctx, std::optional<Error>& noted, const Chain& chain, int64_t mprf,
                     const MappingObject& o) {
  const bool climbed = chain.levels.size() > 1;
  const auto note_or_raise = [&](Error e) {
    if (!climbed) throw Failure(std::move(e));
    noted = std::move(e);
  };
  switch (chain.end) {
    case Chain::End::NotClimbed:
      return;
    case Chain::End::Root:
      ctx.AppendNote("No Mapping Rules Present for the Object : " + o.Name());
      return;
    case Chain::End::MissingParent:
      note_or_raise(Error(4, "Error : --ExportObjectEx-- Parent Profile is missing"));
      return;
    case Chain::End::LookupFailed:
      note_or_raise(Trapping(999, TrapHead::ExportObject, std::string(kObjectEx), *chain.failure));
      return;
    case Chain::End::Loop:
      const Error loop = ChainLoop(chain.reached, mprf);
      throw Failure(loop.number(), loop.text());
  }
}

// The reads of every rule table the export writes, opened together (a
// server store answers them in one round trip) after the objects' own.
struct Reads {
  std::unique_ptr<store::Recordset> objects;
  std::vector<ObjectRuleRows> rules;      // kRuleLayouts
  std::vector<ObjectRuleRows> revisions;  // qzmap110, then kRevisionLayouts
};

Vrc ExportedVrc(const pack::Identity& exported) {
  return {exported.vers.TextOrEmpty(), exported.rele.TextOrEmpty(), exported.cust.TextOrEmpty()};
}

// The object table of `appl` (qzddi140 for an extension, else qzlgy140);
// nothing when the application has no qzddi100 row.
std::optional<std::string_view> ObjectTableOf(store::Connection& c, const std::string& appl) {
  auto extn_rs = c.OpenRecordset(store::SelectApplicationExtn(c.dialect(), appl));
  if (extn_rs->IsEOF()) {
    extn_rs->Close();
    return std::nullopt;
  }
  const Value extn = extn_rs->Fields("extn");
  extn_rs->Close();
  const bool extension = !extn.IsNull() && extn.Integer() == 1;
  return extension ? "qzddi140" : "qzlgy140";
}

// The rule tables read, in the order of the reads after the objects' own.
std::vector<const pack::TaggedLayout*> ReadLayouts(const ObjectScope& scope) {
  std::vector<const pack::TaggedLayout*> layouts(std::begin(kRuleLayouts), std::end(kRuleLayouts));
  if (scope.revisions) {
    layouts.push_back(&pack::kQzmap110);
    layouts.insert(layouts.end(), std::begin(kRevisionLayouts), std::end(kRevisionLayouts));
  }
  return layouts;
}

std::vector<store::Query> ReadQueries(store::Connection& c, const ObjectScope& scope, std::string_view object_table,
                                      const std::string& appl, const Chain& chain) {
  std::vector<store::Query> queries{{store::SelectRuleObjects(c.dialect(), object_table, appl, chain.levels), {}}};
  for (const auto* layout : ReadLayouts(scope))
    queries.push_back({store::SelectRuleObjectRows(c.dialect(), layout->table, object_table, appl, chain.levels,
                                                   ObjectRuleRows::ColumnsRead(*layout, scope.for_sync)),
                       {}});
  return queries;
}

Reads OpenReads(ExportContext& ctx, store::Connection& c, const ObjectScope& scope, std::string_view object_table,
                const std::string& appl, const Chain& chain, const pack::Identity& exported,
                store::ReadsAhead* ahead) {
  const std::vector<const pack::TaggedLayout*> layouts = ReadLayouts(scope);
  const std::vector<store::Query> queries = ReadQueries(c, scope, object_table, appl, chain);
  std::vector<std::unique_ptr<store::Recordset>> opened;
  if (ahead && ahead->queries() == queries) opened = ahead->Take();
  if (opened.size() != queries.size()) opened = c.OpenRecordsets(queries);
  Reads reads;
  reads.objects = std::move(opened.front());
  for (size_t i = 0; i < layouts.size(); ++i)
    (i < std::size(kRuleLayouts) ? reads.rules : reads.revisions)
        .emplace_back(ctx, *layouts[i], std::move(opened[i + 1]), exported, scope.for_sync);
  return reads;
}

// One object's rules at its level, then its revisions there; the other
// revision tables hang off qzmap110, so without its rows nothing is written.
void WriteObject(ExportContext& ctx, Reads& reads, int64_t number, const MappingObject& o, bool revisions) {
  ctx.AppendProgress(fmt::format("Exporting Mapping Object {} Started ", o.Name()));
  for (auto& rows : reads.rules) rows.Write(number, o);
  ctx.AppendProgress(fmt::format("Exporting Mapping Object {} Completed ", o.Name()));
  if (!revisions) return;
  ctx.AppendProgress(fmt::format("Exporting Revisions for Mapping Object {} Started ", o.Name()));
  if (!reads.revisions.front().Has(number)) {
    ctx.AppendNote("No Revisions Present");
  } else {
    for (auto& rows : reads.revisions) rows.Write(number, o);
  }
  ctx.AppendProgress(fmt::format("Exporting Revisions for Mapping Object {} Completed ", o.Name()));
}

// The merge by object key, for an export of the profile's own rules alone
// from a server store: there each read that joins the rules to the objects
// would sort its rows on the server, on disk once a store is large. Here
// each rule table is walked once in the order of its index, alongside the
// objects in the order of their keys (kept in a file: the objects of a
// large application do not fit in the memory an export may take); each
// row's records go to its object's place, and are put in the pack's order
// by RowsInObjectOrder. What the manifest says of an object is written in
// the objects' order at the end, as the reads object by object write it.
bool MergedOnTheClient(store::Connection& c, const Chain& chain) {
  return c.dialect() == store::Dialect::Postgres && chain.end == Chain::End::NotClimbed;
}

// An object's key: what a rule row names its object by.
struct ObjectKey {
  std::string_view pac, mod, flno;
  auto operator<=>(const ObjectKey&) const = default;
};

// A key as an entry's record: the lengths of cpac and cmod, then the three.
std::string EncodedKey(const ObjectKey& k) {
  const uint32_t lengths[2] = {static_cast<uint32_t>(k.pac.size()), static_cast<uint32_t>(k.mod.size())};
  std::string out(reinterpret_cast<const char*>(lengths), sizeof lengths);
  return out.append(k.pac).append(k.mod).append(k.flno);
}

ObjectKey DecodedKey(std::string_view bytes) {
  uint32_t lengths[2];
  std::memcpy(lengths, bytes.data(), sizeof lengths);
  bytes.remove_prefix(sizeof lengths);
  return {bytes.substr(0, lengths[0]), bytes.substr(lengths[0], lengths[1]), bytes.substr(lengths[0] + lengths[1])};
}

// A file deleted when it goes.
struct TemporaryFile {
  Env& env;
  std::string path;
  ~TemporaryFile() {
    try {
      if (env.FileExists(path)) env.DeleteFile(path);
    } catch (...) {
    }
  }
};

// The objects of the application in the order of their keys, one key at a
// time with the places of the objects that have it (an object may be listed
// twice).
class ObjectsByKey {
 public:
  ObjectsByKey(Env& env, const std::string& path) : in_(env, path), pending_(in_.Load()) {}
  bool Next() {
    if (!pending_) return false;
    key_bytes_.assign(in_.record);
    places_.assign(1, in_.place);
    while ((pending_ = in_.Load()) && in_.record == key_bytes_) places_.push_back(in_.place);
    key_ = DecodedKey(key_bytes_);
    return true;
  }
  const ObjectKey& key() const { return key_; }
  const std::vector<uint32_t>& places() const { return places_; }

 private:
  EntryReader in_;
  bool pending_;
  std::string key_bytes_;
  ObjectKey key_;
  std::vector<uint32_t> places_;
};

store::Query ObjectKeysRead(store::Connection& c, std::string_view object_table, const std::string& appl) {
  return {store::SelectRuleObjectsByKey(c.dialect(), object_table, appl), {}};
}

// Writes the objects' keys into `keys` and returns how many objects there are.
// `ahead` may hold the read, started while the application data was written:
// its sort is then made by then.
uint32_t WriteObjectKeys(Env& scratch, store::Connection& c, std::string_view object_table,
                         const std::string& appl, const std::string& keys, store::ReadsAhead* ahead) {
  const std::vector<store::Query> reads{ObjectKeysRead(c, object_table, appl)};
  std::vector<std::unique_ptr<store::Recordset>> opened;
  if (ahead && ahead->queries() == reads) opened = ahead->Take();
  std::unique_ptr<store::Recordset> rs = opened.size() == 1 ? std::move(opened.front()) : c.OpenRecordset(reads[0]);
  auto out = files::TextWriter::Create(scratch, keys);
  const int place_at = ColumnIndex(*rs, store::kObjectPlaceColumn);
  uint32_t count = 0;
  std::string piece;
  for (; !rs->IsEOF(); rs->MoveNext(), ++count) {
    // Text() fails on NULL, as passing NULL where a text is expected does.
    const std::string pac = rs->Fields("cpac").Text(), mod = rs->Fields("cmod").Text(),
                      flno = rs->Fields("flno").Text();
    AppendEntry(piece, static_cast<uint32_t>(rs->Fields(place_at).Integer()), EncodedKey({pac, mod, flno}));
    if (piece.size() >= 64 * 1024) {
      out->Write(piece);
      piece.clear();
    }
  }
  rs->Close();
  out->Write(piece);
  out->Close();
  return count;
}

// Reads `layout`'s rows of the level into `sorted`, each record once for
// every object of its key, and marks the places that have rows in `has`.
void ReadByKey(ExportContext& ctx, Env& scratch, store::Connection& c, const ObjectScope& scope,
               const store::RuleLevel& level, const pack::Identity& exported, const pack::TaggedLayout& layout,
               const std::string& keys, RowsInObjectOrder& sorted, std::vector<bool>& has) {
  auto rs = c.OpenRecordset(store::SelectRuleRowsByObjectKey(c.dialect(), layout.table, level,
                                                              ObjectRuleRows::ColumnsRead(layout, scope.for_sync)));
  rs->ReadThroughAlone();
  files::TextWriter& file = *ctx.RuleStreams.at(std::string(pack::RuleFileName(layout, true)));
  pack::TaggedRecordWriter records(layout, file, ObjectRuleRows::Options(exported, scope.for_sync));
  const std::vector<int> binding = pack::BindColumnsOf(layout, *rs);
  int key_at[3];
  for (int i = 0; i < 3; ++i) key_at[i] = ColumnIndex(*rs, store::kRowObjectColumns[i]);
  const int logn = &layout == &pack::kQzmap120 ? ColumnIndex(*rs, ObjectRuleRows::kCheckedOutBy) : -1;
  ObjectsByKey objects(scratch, keys);
  bool more = objects.Next();
  for (; !rs->IsEOF(); rs->MoveNext()) {
    ObjectKey row;
    // A row with an empty part of its key is no object's: those come first.
    if (!more || !rs->ViewText(key_at[0], row.pac) || !rs->ViewText(key_at[1], row.mod) ||
        !rs->ViewText(key_at[2], row.flno))
      continue;
    while (more && objects.key() < row) more = objects.Next();
    if (!more || objects.key() != row) continue;
    const std::string& record = records.Record(pack::BoundRow(*rs, binding));
    std::string_view user;
    if (logn >= 0 && !rs->ViewText(logn, user)) user = {};
    for (uint32_t place : objects.places()) {
      sorted.Add(place, record, user);
      has[place] = true;
    }
  }
  rs->Close();
}

// Writes what `sorted` holds of the places `kept` says into `layout`'s file.
void WriteInObjectOrder(ExportContext& ctx, const pack::TaggedLayout& layout, RowsInObjectOrder& sorted,
                        const std::function<bool(uint32_t)>& kept) {
  const std::string name(pack::RuleFileName(layout, true));
  files::TextWriter& file = *ctx.RuleStreams.at(name);
  int64_t written = 0;
  while (sorted.Next())
    if (kept(sorted.place())) {
      file.Write(sorted.record());
      ++written;
    }
  ctx.CountRows(name, written);
}

void ExportMergedOnTheClient(ExportContext& ctx, store::Connection& c, const ObjectScope& scope,
                             std::string_view object_table, const std::string& appl, const Chain& chain,
                             const pack::Identity& exported, store::ReadsAhead* ahead) {
  // Files beside the pack's that are no part of it: not measured for its sums.
  Env& scratch = ctx.Written().target();
  const TemporaryFile keys{scratch, ctx.PackFile("kestrel-objects-by-key")};
  const uint32_t objects_in_all = WriteObjectKeys(scratch, c, object_table, appl, keys.path, ahead);
  if (objects_in_all == 0)
    throw Failure(140, std::string(object_table == "qzddi140" ? "Error : Qzddi140" : "Error : Qzlgy140") +
                           " - No Data Present for Applications  " + appl);
  const store::RuleLevel& level = chain.levels.front();
  auto sorter = [&](const pack::TaggedLayout& layout) {
    return std::make_unique<RowsInObjectOrder>(scratch, ctx.PackFile("kestrel-" + std::string(layout.table) + "-"));
  };
  std::vector<bool> rules(objects_in_all + 1), revisions(objects_in_all + 1);
  std::unique_ptr<RowsInObjectOrder> first = sorter(pack::kQzmap120), revised = sorter(pack::kQzmap110);
  try {
    ReadByKey(ctx, scratch, c, scope, level, exported, pack::kQzmap120, keys.path, *first, rules);
    first->Release();
    if (scope.revisions) {
      ReadByKey(ctx, scratch, c, scope, level, exported, pack::kQzmap110, keys.path, *revised, revisions);
      revised->Release();
    }
    auto with_rules = [&](uint32_t place) { return static_cast<bool>(rules[place]); };
    auto with_revisions = [&](uint32_t place) { return rules[place] && revisions[place]; };
    std::vector<bool> unused(objects_in_all + 1);
    for (const auto* layout : kRuleLayouts) {
      if (layout == &pack::kQzmap120) continue;
      auto sorted = sorter(*layout);
      ReadByKey(ctx, scratch, c, scope, level, exported, *layout, keys.path, *sorted, unused);
      WriteInObjectOrder(ctx, *layout, *sorted, with_rules);
    }
    if (scope.revisions) {
      WriteInObjectOrder(ctx, pack::kQzmap110, *revised, with_revisions);
      for (const auto* layout : kRevisionLayouts) {
        auto sorted = sorter(*layout);
        ReadByKey(ctx, scratch, c, scope, level, exported, *layout, keys.path, *sorted, unused);
        WriteInObjectOrder(ctx, *layout, *sorted, with_revisions);
      }
    }
  } catch (const std::exception& ex) {
    throw Failure(Trapping(999, TrapHead::ExportObject, std::string(kObjectEx), AsComError(ex)));
  }

  // qzmap120 last, with what the manifest says object by object.
  const std::string name(pack::RuleFileName(pack::kQzmap120, true));
  files::TextWriter& file = *ctx.RuleStreams.at(name);
  int64_t written = 0;
  auto objects = c.OpenRecordset(store::SelectRuleObjects(c.dialect(), object_table, appl, chain.levels));
  objects->ReadThroughAlone();
  uint32_t place = 0;
  for (; !objects->IsEOF(); objects->MoveNext()) {
    ++place;
    if (place <= objects_in_all && rules[place]) {
      const MappingObject o{objects->Fields("cpac").Text(), objects->Fields("cmod").Text(),
                            objects->Fields("flno").Text()};
      ctx.AppendProgress(fmt::format("Exporting Mapping Object {} Started ", o.Name()));
      while (first->NextIsAt(place) && first->Next()) {
        file.Write(first->record());
        ++written;
        if (!first->note().empty()) ctx.AppendNote(ObjectRuleRows::CheckedOutNote(o, first->note()));
      }
      ctx.AppendProgress(fmt::format("Exporting Mapping Object {} Completed ", o.Name()));
      if (scope.revisions) {
        ctx.AppendProgress(fmt::format("Exporting Revisions for Mapping Object {} Started ", o.Name()));
        if (!revisions[place]) ctx.AppendNote("No Revisions Present");
        ctx.AppendProgress(fmt::format("Exporting Revisions for Mapping Object {} Completed ", o.Name()));
      }
    }
    ctx.Report("mapping objects", place, objects_in_all);
  }
  objects->Close();
  ctx.CountRows(name, written);
}

}  // namespace

std::unique_ptr<store::ReadsAhead> StartMappingObjectReads(ExportContext& ctx, const ObjectScope& scope,
                                                           const std::string& appl, const pack::Identity& exported,
                                                           const Vrc& parent) {
  try {
    store::Connection& c = ctx.Connection();
    const std::optional<std::string_view> object_table = ObjectTableOf(c, appl);
    if (!object_table) return nullptr;
    const Chain chain = ChainOf(c, scope, exported.mprf.Integer(), ExportedVrc(exported), parent);
    if (MergedOnTheClient(c, chain)) return c.StartReads({ObjectKeysRead(c, *object_table, appl)});
    return c.StartReads(ReadQueries(c, scope, *object_table, appl, chain));
  } catch (const std::exception&) {
    return nullptr;
  }
}

std::optional<Error> ExportMappingObjects(ExportContext& ctx, const ObjectScope& scope, const std::string& appl,
                                          const pack::Identity& exported, const Vrc& parent,
                                          store::ReadsAhead* ahead) {
  return UnderTrap(999, TrapHead::Import, kMappingObjects, [&]() -> std::optional<Error> {
    store::Connection& c = ctx.Connection();
    const std::optional<std::string_view> object_table = ObjectTableOf(c, appl);
    if (!object_table) throw Failure(100, "Error : Qzddi100 - No Data Present for Applications  " + appl);
    const int64_t mprf = exported.mprf.Integer();
    const Chain chain = ChainOf(c, scope, mprf, ExportedVrc(exported), parent);
    if (MergedOnTheClient(c, chain)) {
      ExportMergedOnTheClient(ctx, c, scope, *object_table, appl, chain, exported, ahead);
      return std::nullopt;
    }
    // The count is one more look-up: made only when someone watches.
    const int64_t objects_in_all =
        ctx.Progress ? c.OpenRecordset(store::CountRuleObjects(*object_table, appl))->Fields(0).Integer() : 0;
    Reads reads = OpenReads(ctx, c, scope, *object_table, appl, chain, exported, ahead);
    store::Recordset& objects = *reads.objects;
    if (objects.IsEOF()) {
      objects.Close();
      throw Failure(140, std::string(*object_table == "qzddi140" ? "Error : Qzddi140" : "Error : Qzlgy140") +
                             " - No Data Present for Applications  " + appl);
    }
    std::optional<Error> noted;
    const int number_at = ColumnIndex(objects, store::kObjectNumberColumn);
    const bool one_level = chain.levels.size() == 1;
    const int level_at = one_level ? -1 : ColumnIndex(objects, store::kObjectLevelColumn);
    int64_t done = 0;
    for (; !objects.IsEOF(); objects.MoveNext()) {
      // Text() fails on NULL, as passing NULL where a text is expected does.
      const MappingObject o{objects.Fields("cpac").Text(), objects.Fields("cmod").Text(),
                            objects.Fields("flno").Text()};
      const int64_t number = objects.Fields(number_at).Integer();
      // The level, 0 for none: with the exported profile alone, its
      // qzmap120 rows for the object tell.
      int64_t level = 0;
      if (one_level) {
        level = reads.rules.front().Has(number) ? 1 : 0;
      } else if (const Value at = objects.Fields(level_at); !at.IsNull()) {
        level = at.Integer();
      }
      if (level == 0) {
        NoRulesAnywhere(ctx, noted, chain, mprf, o);
      } else {
        try {
          WriteObject(ctx, reads, number, o, scope.revisions);
        } catch (const std::exception& ex) {
          // An ancestor's rules that cannot be written cost the object, not
          // the export.
          Error e = Trapping(999, TrapHead::ExportObject, std::string(kObjectEx), AsComError(ex));
          if (level == 1) throw Failure(std::move(e));
          noted = std::move(e);
        }
      }
      ctx.Report("mapping objects", ++done, objects_in_all);
    }
    objects.Close();
    for (auto* group : {&reads.rules, &reads.revisions})
      for (auto& rows : *group) rows.Close();
    return noted;
  });
}

}  // namespace kestrel::exporter
