// The diff's entry point: resolves both sides to packs, pairs their
// profiles and applications, and compares table by table.
#include "kestrel/diff.h"

#include <algorithm>
#include <memory>
#include <set>

#include "diff/pack_side.h"
#include "diff/row_compare.h"
#include "diff/store_export.h"
#include "diff/table_keys.h"
#include "base/errors_ours.h"
#include "kestrel/error.h"
#include "kestrel/store.h"
#include "store/open.h"

namespace kestrel::diff {
namespace {

// What is compared with what: profiles and applications of one pack with
// those of another (a temporary one for a store).
struct ProfilePair {
  const PackSide* a = nullptr;
  std::optional<int64_t> a_profile;
  const PackSide* b = nullptr;
  std::optional<int64_t> b_profile;
};
struct ApplicationPair {
  std::string appl;
  const PackSide* a = nullptr;
  const PackSide* b = nullptr;
};
struct Pairing {
  std::vector<ProfilePair> profiles;
  std::vector<ApplicationPair> applications;
  const PackSide* shared_a = nullptr;
  const PackSide* shared_b = nullptr;
};

// Two packs: profiles by number, applications by code.
Pairing PairByNumber(const PackSide& a, const PackSide& b) {
  Pairing p{.profiles = {}, .applications = {}, .shared_a = &a, .shared_b = &b};
  std::set<int64_t> numbers;
  for (const auto* side : {&a, &b})
    for (const auto& profile : side->profiles()) numbers.insert(profile.number);
  for (int64_t n : numbers) {
    ProfilePair pair;
    if (a.Holds(n)) pair.a = &a, pair.a_profile = n;
    if (b.Holds(n)) pair.b = &b, pair.b_profile = n;
    p.profiles.push_back(pair);
  }
  std::set<std::string> appls;
  for (const auto* side : {&a, &b})
    for (auto& appl : side->applications()) appls.insert(appl);
  for (const auto& appl : appls) {
    const auto in = [&](const PackSide& s) {
      const auto list = s.applications();
      return std::find(list.begin(), list.end(), appl) != list.end() ? &s : nullptr;
    };
    p.applications.push_back({appl, in(a), in(b)});
  }
  return p;
}

// Whether the caller asked for the table (every table when it named none).
bool Wanted(const Options& options, std::string_view table) {
  return options.tables.empty() ||
         std::find(options.tables.begin(), options.tables.end(), table) != options.tables.end();
}

void CompareProfiles(const ProfilePair& pair, const Options& options, Result& out) {
  const Scope scope{.kind = Scope::Kind::Profile, .a_profile = pair.a_profile, .b_profile = pair.b_profile,
                    .application = {}};
  for (const auto& k : TableKeys()) {
    if (k.group != TableGroup::Profile && k.group != TableGroup::Rules && k.group != TableGroup::Libraries) continue;
    if (!Wanted(options, k.table)) continue;
    // Counted only, a side compared with nothing need not be kept.
    const bool count_a = options.counts_only && !pair.b, count_b = options.counts_only && !pair.a;
    const KeyedRows a = pair.a ? pair.a->ProfileRows(k.table, pair.a_profile, count_a) : KeyedRows{};
    const KeyedRows b = pair.b ? pair.b->ProfileRows(k.table, pair.b_profile, count_b) : KeyedRows{};
    CompareRows(k.table, scope, a, b, options, out);
  }
}

void CompareAll(const Pairing& p, const Options& options, Result& out) {
  for (const auto& pair : p.profiles) CompareProfiles(pair, options, out);
  for (const auto& pair : p.applications) {
    const Scope scope{.kind = Scope::Kind::Application, .a_profile = {}, .b_profile = {}, .application = pair.appl};
    for (const auto& k : TableKeys()) {
      if (k.group != TableGroup::ApplicationData || !Wanted(options, k.table)) continue;
      const bool count_a = options.counts_only && !pair.b, count_b = options.counts_only && !pair.a;
      const KeyedRows a = pair.a ? pair.a->ApplicationRows(k.table, pair.appl, count_a) : KeyedRows{};
      const KeyedRows b = pair.b ? pair.b->ApplicationRows(k.table, pair.appl, count_b) : KeyedRows{};
      CompareRows(k.table, scope, a, b, options, out);
    }
  }
  if (p.shared_a || p.shared_b) {
    const Scope scope{};
    for (const auto& k : TableKeys()) {
      if ((k.group != TableGroup::Functions && k.group != TableGroup::Codes) || !Wanted(options, k.table)) continue;
      const bool count_a = options.counts_only && !p.shared_b, count_b = options.counts_only && !p.shared_a;
      const KeyedRows a = p.shared_a ? p.shared_a->ProfileRows(k.table, std::nullopt, count_a) : KeyedRows{};
      const KeyedRows b = p.shared_b ? p.shared_b->ProfileRows(k.table, std::nullopt, count_b) : KeyedRows{};
      CompareRows(k.table, scope, a, b, options, out);
    }
  }
}

// A pack against a store alone: each pack profile with the store's profile
// the import would replace, each application with the store's; the store is
// side A, what the import would take away, and the pack side B.
struct StoreAlone {
  std::vector<std::unique_ptr<TemporaryPack>> exports;
  Pairing pairing;
};

StoreAlone PairWithStore(Env& env, const PackSide& pack, const std::shared_ptr<store::Connection>& c,
                         const Options& options, Result& out) {
  StoreAlone s;
  const ExportShape shape = ShapeOf(pack);
  out.profiles_replaced.emplace();
  out.applications_replaced.emplace();
  // The import's default selection: only the first header row takes the number
  // a pack announces; the others keep theirs.
  bool first = true;
  for (const auto& profile : pack.profiles()) {
    int64_t target = first && pack.manifest().new_profile_number != 0 ? pack.manifest().new_profile_number
                                                                      : profile.number;
    first = false;
    if (const auto to = options.renumber.find(target); to != options.renumber.end()) target = to->second;
    const PackSide* held = nullptr;
    if (StoreHoldsProfile(*c, target)) {
      out.profiles_replaced->push_back(target);
      for (const auto& e : s.exports)
        if (e->side().Holds(target)) held = &e->side();
      if (!held) {
        s.exports.push_back(std::make_unique<TemporaryPack>(env, c, target, shape));
        held = &s.exports.back()->side();
      }
    }
    for (const auto* appl : {&profile.sapp, &profile.tapp}) {
      auto& replaced = *out.applications_replaced;
      if (std::find(replaced.begin(), replaced.end(), *appl) == replaced.end() && StoreHoldsApplication(*c, *appl))
        replaced.push_back(*appl);
    }
    s.pairing.profiles.push_back({.a = held, .a_profile = held ? std::optional<int64_t>(target) : std::nullopt,
                                  .b = &pack, .b_profile = profile.number});
  }
  // An application the store holds is compared with its rows in an export
  // that carries it; one the store lacks is new.
  for (const auto& appl : pack.applications()) {
    const PackSide* held = nullptr;
    const auto& replaced = *out.applications_replaced;
    if (std::find(replaced.begin(), replaced.end(), appl) != replaced.end()) {
      for (const auto& e : s.exports) {
        const auto list = e->side().applications();
        if (std::find(list.begin(), list.end(), appl) != list.end()) held = &e->side();
      }
      if (!held) {
        // Held by the store but served by none of the profiles compared:
        // the export of a profile that serves it carries its rows.
        const auto serving = StoreProfileOfApplication(*c, appl);
        if (!serving) continue;  // rows of an application no profile serves cannot be exported
        const ExportShape alone{.single = true, .revisions = false, .for_sync = false, .new_number = 0, .based_on = {}};
        s.exports.push_back(std::make_unique<TemporaryPack>(env, c, *serving, alone));
        held = &s.exports.back()->side();
      }
    }
    s.pairing.applications.push_back({appl, held, &pack});
  }
  const PackSide* shared = s.exports.empty() ? nullptr : &s.exports.front()->side();
  s.pairing.shared_a = shared;
  s.pairing.shared_b = &pack;
  return s;
}

}  // namespace

Side ParseSide(Env& env, const std::string& text) {
  if (env.FolderExists(text)) return {Side::Kind::Pack, text, 0};
  const size_t colon = text.rfind(':');
  if (colon != std::string::npos && colon > 0 && colon + 1 < text.size() &&
      text.find_first_not_of("0123456789", colon + 1) == std::string::npos && colon + 1 + 9 >= text.size())
    return {Side::Kind::StoreProfile, text.substr(0, colon), std::stoll(text.substr(colon + 1))};
  return {Side::Kind::Store, text, 0};
}

std::vector<std::string> Tables() {
  std::vector<std::string> out;
  for (const auto& k : TableKeys()) out.emplace_back(k.table);
  return out;
}

Result Compare(Env& env, const Side& a, const Side& b, const Options& options) {
  for (const auto& table : options.tables)
    if (std::none_of(TableKeys().begin(), TableKeys().end(), [&](const TableKey& k) { return k.table == table; }))
      RaiseWithDetail(Ours::DiffTableUnknown, table);
  Result out;
  out.a = a;
  out.b = b;
  const bool a_pack = a.kind == Side::Kind::Pack, b_pack = b.kind == Side::Kind::Pack;
  if ((a.kind == Side::Kind::Store && !b_pack) || (b.kind == Side::Kind::Store && !a_pack))
    throw ComError(rt::InvalidProcedureCall, std::string(RuntimeErrorText(rt::InvalidProcedureCall)) +
                                                 ": a store without a profile number is compared with a pack only");
  std::unique_ptr<PackSide> pack_a, pack_b;
  if (a_pack) pack_a = std::make_unique<PackSide>(env, a.location);
  if (b_pack) pack_b = std::make_unique<PackSide>(env, b.location);

  if (a.kind == Side::Kind::Store || b.kind == Side::Kind::Store) {
    const Side& store_side = a.kind == Side::Kind::Store ? a : b;
    const PackSide& pack = a_pack ? *pack_a : *pack_b;
    const auto c = store::OpenProfileStore(store_side.location, options.lock_wait_seconds);
    out.a = store_side;
    out.b = a_pack ? a : b;
    const StoreAlone s = PairWithStore(env, pack, c, options, out);
    CompareAll(s.pairing, options, out);
    return out;
  }

  // A store profile is exported as the pack on the other side was; two store
  // profiles as chains with their revisions.
  ExportShape shape;
  if (pack_a) shape = ShapeOf(*pack_a);
  if (pack_b) shape = ShapeOf(*pack_b);
  std::unique_ptr<TemporaryPack> export_a, export_b;
  if (!a_pack) export_a = std::make_unique<TemporaryPack>(env, store::OpenProfileStore(a.location, options.lock_wait_seconds), a.profile, shape);
  if (!b_pack) export_b = std::make_unique<TemporaryPack>(env, store::OpenProfileStore(b.location, options.lock_wait_seconds), b.profile, shape);
  CompareAll(PairByNumber(a_pack ? *pack_a : export_a->side(), b_pack ? *pack_b : export_b->side()), options, out);
  return out;
}

}  // namespace kestrel::diff
