// The JSON of a store's profiles and of a pack's contents.
#include "present/store_view.h"

#include <set>

#include "kestrel/pack_facts.h"

namespace kestrel::present {

int64_t RuleRows(const StoredProfile& p) {
  int64_t n = 0;
  for (const auto& [table, rows] : p.rules) n += rows;
  return n;
}

Hierarchy HierarchyOf(const std::vector<StoredProfile>& profiles) {
  std::set<int64_t> held;
  for (const auto& p : profiles) held.insert(p.number);
  Hierarchy h;
  for (const auto& p : profiles) {
    if (p.parent != 0 && p.parent != p.number && held.count(p.parent))
      h.children[p.parent].push_back(&p);
    else
      h.roots.push_back(&p);
  }
  return h;
}

namespace {

Json ProfileJson(const StoredProfile& p) {
  Json rules = Json::object();
  for (const auto& [table, rows] : p.rules) rules[table] = rows;
  return Json{{"profile", p.number},
              {"source_application", JsonText(p.source_application)},
              {"target_application", JsonText(p.target_application)},
              {"parent", p.parent},
              {"depth", p.depth},
              {"version", JsonText(p.version)},
              {"release", JsonText(p.release)},
              {"customer", JsonText(p.customer)},
              {"description", JsonText(p.description)},
              {"rule_rows", RuleRows(p)},
              {"rules", rules}};
}

Json TreeJson(const Hierarchy& h, const StoredProfile& p, std::set<int64_t>& seen) {
  Json node = ProfileJson(p);
  Json children = Json::array();
  seen.insert(p.number);
  if (const auto found = h.children.find(p.number); found != h.children.end())
    for (const StoredProfile* child : found->second)
      if (!seen.count(child->number)) children.push_back(TreeJson(h, *child, seen));
  node["children"] = children;
  return node;
}

}  // namespace

Json ProfilesJson(const std::vector<StoredProfile>& profiles, bool tree) {
  Json list = Json::array();
  if (tree) {
    const Hierarchy h = HierarchyOf(profiles);
    std::set<int64_t> seen;
    for (const StoredProfile* root : h.roots) list.push_back(TreeJson(h, *root, seen));
  } else {
    for (const auto& p : profiles) list.push_back(ProfileJson(p));
  }
  return list;
}

bool SumsHold(const PackContents& p) {
  if (!p.has_sums || !p.missing_files.empty()) return false;
  for (const auto& f : p.files)
    if (f.sum_matches == false) return false;
  return true;
}

Json PackJson(const std::string& folder, const PackContents& p) {
  Json applications = Json::array();
  for (const auto& a : p.applications) applications.push_back(JsonText(a));
  Json profiles = Json::array();
  for (const auto& pr : p.profiles)
    profiles.push_back(Json{{"profile", pr.number},
                            {"source_application", JsonText(pr.source_application)},
                            {"target_application", JsonText(pr.target_application)},
                            {"version", JsonText(pr.version)},
                            {"release", JsonText(pr.release)},
                            {"customer", JsonText(pr.customer)},
                            {"description", JsonText(pr.description)}});
  Json files = Json::array();
  for (const auto& f : p.files) {
    Json file{{"name", JsonText(f.name)}, {"kind", f.kind}, {"rows", nullptr}, {"sum_matches", nullptr}};
    if (f.rows) file["rows"] = *f.rows;
    if (f.sum_matches) file["sum_matches"] = *f.sum_matches;
    if (!f.problem.empty()) file["problem"] = JsonText(f.problem);
    files.push_back(file);
  }
  Json missing = Json::array();
  for (const auto& m : p.missing_files) missing.push_back(JsonText(m));
  Json sums{{"present", p.has_sums}, {"match", SumsHold(p)}, {"missing_files", missing}};
  // A script that reads only "match" would take a pack without sums for a
  // damaged one: the note says why it cannot be known.
  if (!p.has_sums) sums["note"] = std::string(kestrel::kNoPackSums);
  return Json{{"pack", JsonText(folder)},
              {"export_succeeded", p.export_succeeded},
              {"revisions", p.revisions},
              {"for_sync", p.for_sync},
              {"new_profile_number", p.new_profile_number},
              {"applications", applications},
              {"profiles", profiles},
              {"files", files},
              {"sums", sums}};
}

}  // namespace kestrel::present
