// The profile derivation hierarchy: writing a profile's chain, repairing the
// chains of its descendants, and the depth a profile would have under a parent.
#include "importer/hierarchy.h"

#include <set>

#include <fmt/format.h>

#include "base/errors_ours.h"
#include "base/text.h"
#include "base/value.h"
#include "importer/entry_points.h"
#include "importer/plan_lookups.h"
#include "store/connection.h"
#include "store/statements_import_hierarchy.h"
#include "store/statements_profiles.h"

namespace kestrel::importer {
namespace {

using store::Connection;
using store::Recordset;

// Runs `body` under the trap of the hierarchy's `procedure`: an unexpected
// failure is raised as 899 with the procedure's name.
template <class Body>
decltype(auto) Trapped(std::string_view procedure, Body&& body) {
  return UnderTrap(kHierarchyUnexpected, TrapHead::Import, procedure, std::forward<Body>(body));
}

bool Empty(const Recordset& rs) { return rs.BOF() && rs.IsEOF(); }

// The profile whose chain level is being written.
struct ChainProfile {
  int64_t mprf;
  std::string vers, rele, cust, verf, relf, cusf;
  bool Derived() const { return !verf.empty() && !relf.empty() && !cusf.empty(); }
};

// The columns of a chain row, in the order of its values.
constexpr std::string_view kChainColumns[] = {"mprf", "levl", "vers", "rele", "cust", "pprf"};

// The text of a loop among the parents above `start`.
std::string LoopText(int64_t repeated, int64_t start) {
  return fmt::format("{}: profile {} stands twice above profile {}", DefaultText(Ours::ChainTooLong), repeated, start);
}

}  // namespace

void InsertInMap101(const ImportContext& cx, int16_t mprf, const std::string& vers, const std::string& rele,
                    const std::string& cust, int16_t levels, const std::string& verf, const std::string& relf,
                    const std::string& cusf) {
  Trapped("InsertInMap101", [&] {
    Connection& c = ConnectionOf(cx);
    ChainProfile current{mprf, vers, rele, cust, verf, relf, cusf};
    for (int16_t level = 1; level <= levels; ++level) {
      if (!Empty(*c.OpenRecordset(store::SelectChainRow(c.dialect(), mprf, level))))
        throw Failure(kChainRowDuplicate,
                      "Error : --InsertInMap101-- Profile By Parent Profile Duplicate records not allowed");
      const Value row[] = {Value(static_cast<int64_t>(mprf)), Value(static_cast<int64_t>(level)), Value(current.vers),
                           Value(current.rele), Value(current.cust), Value(current.mprf)};
      auto chain = c.Insert("qzmap101", kChainColumns);
      chain->Add(row);
      chain->Flush();

      // Past the root the from VRC is empty and the current profile stays.
      if (!current.Derived()) continue;
      auto parent = c.OpenRecordset(
          store::SelectParentProfileByVrc(c.dialect(), current.verf, current.relf, current.cusf));
      if (Empty(*parent)) throw Failure(kParentProfileMissing, "Error : --InsertInMap101-- Parent Profile is missing");
      current = ChainProfile{parent->Fields("mprf").Integer(),    parent->Fields("vers").TextOrEmpty(),
                             parent->Fields("rele").TextOrEmpty(), parent->Fields("cust").TextOrEmpty(),
                             parent->Fields("verf").TextOrEmpty(), parent->Fields("relf").TextOrEmpty(),
                             parent->Fields("cusf").TextOrEmpty()};
    }
  });
}

std::vector<std::string> GetProfileVRC(const ImportContext& cx, std::string_view mprf) {
  return Trapped("GetProfileVRC", [&] {
    std::vector<std::string> strArray(5);
    Connection& c = ConnectionOf(cx);
    auto rs = c.OpenRecordset(store::SelectProfileVrc(c.dialect(), NumberOfText(text::TrimBlanks(mprf))));
    if (!Empty(*rs)) {
      strArray[1] = rs->Fields("vers").TextOrEmpty();
      strArray[2] = rs->Fields("rele").TextOrEmpty();
      strArray[3] = rs->Fields("cust").TextOrEmpty();
    }
    return strArray;
  });
}

std::string GetDerivedProfiles(const ImportContext& cx, std::string_view mprf) {
  return Trapped("GetDerivedProfiles", [&] {
    Connection& c = ConnectionOf(cx);
    auto rs = c.OpenRecordset(store::SelectDerivedProfiles(c.dialect(), NumberOfText(mprf)));
    std::string list;
    for (; !rs->IsEOF(); rs->MoveNext()) {
      if (!list.empty()) list += ", ";
      list += rs->Fields("mprf").Text();
    }
    return list;
  });
}

std::string GetParentProfile(const ImportContext& cx, int64_t mprf) {
  Connection& c = ConnectionOf(cx);
  auto rs = c.OpenRecordset(store::SelectParentLevelRow(c.dialect(), mprf));
  if (Empty(*rs)) return {};
  return rs->Fields("pprf").TextOrEmpty();
}

void AdjustDerivedChains(const ImportContext& cx, const std::vector<std::string>& chains) {
  Trapped("AdjustDerivedChains", [&] {
    Connection& c = ConnectionOf(cx);
    for (const auto& element : chains) {
      auto parts = text::Split(element, "_");
      if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) continue;
      const int64_t a = NumberOfText(parts[0]);
      for (const auto& d_text : text::Split(parts[1], ", ")) {
        const int64_t d = NumberOfText(d_text);
        auto rs = c.OpenRecordset(store::SelectAncestorLevel(c.dialect(), a, d));
        if (Empty(*rs)) continue;  // D is A itself, or no longer below A
        int64_t k = rs->Fields("levl").Integer();
        rs.reset();
        c.Execute(store::DeleteChainRowsAbove(c.dialect(), d, k));

        // A's present ancestors go above it. A store whose parents loop would
        // keep this going forever: stop at the first profile seen twice.
        std::set<int64_t> seen{a};
        std::string parent = GetParentProfile(cx, a);
        while (!parent.empty()) {
          const int64_t p = NumberOfText(parent);
          if (!seen.insert(p).second) throw Failure(Number(Ours::ChainTooLong), LoopText(p, a));
          ++k;
          const std::vector<std::string> vrc = GetProfileVRC(cx, parent);
          c.Execute(store::InsertChainRow(c.dialect(), d, k, vrc[1], vrc[2], vrc[3], p));
          parent = GetParentProfile(cx, p);
        }
        c.Execute(store::UpdateProfileDepth(c.dialect(), d, k));
      }
    }
  });
}

bool GetDepthOfProfile(const ImportContext& cx, int32_t& /*lMprf*/, int32_t& lPprf, int32_t& lDpth) {
  lDpth = 1;
  if (lPprf == 0) return true;
  Connection& c = ConnectionOf(cx);
  // Each step climbs one parent; a profile met twice means the store's
  // parents loop, which would otherwise never end.
  std::set<int64_t> seen;
  int64_t current = lPprf;
  for (;;) {
    if (!seen.insert(current).second)
      Raise(Ours::ChainTooLong, LoopText(current, lPprf));
    ++lDpth;
    auto rs = c.OpenRecordset(store::SelectParentChainRow(c.dialect(), current));
    if (Empty(*rs)) break;
    current = rs->Fields("pprf").Integer();
  }
  return true;
}

}  // namespace kestrel::importer
