// kestrel list: the profiles of a store, one a line (or as the derivation
// tree), with their applications, parent, depth, VRC, description and the
// rows of their rules.
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "command.h"
#include "output.h"
#include "present/store_view.h"
#include "shared_options.h"
#include "kestrel/inspect.h"
#include "kestrel/store.h"

namespace kestrel::cli {
namespace {

using kestrel::inspect::StoredProfile;
using kestrel::present::Hierarchy;
using kestrel::present::HierarchyOf;
using kestrel::present::ProfilesJson;
using kestrel::present::RuleRows;

struct ListOptions {
  std::string store;
  bool tree = false;
  bool json = false;
};

void DeclareListOptions(CLI::App& sub, ListOptions& o) {
  AddStoreOption(sub, o.store, "the store");
  sub.add_flag("--tree", o.tree, "draw the derivation hierarchy (with --json: children nested in their parent)");
  AddJsonFlag(sub, o.json, "print the profiles as JSON");
}

std::string RuleBreakdown(const StoredProfile& p) {
  std::string out;
  for (const auto& [table, rows] : p.rules)
    fmt::format_to(std::back_inserter(out), "{}{}={}", out.empty() ? "" : " ", table, rows);
  return out;
}

std::string Vrc(const StoredProfile& p) { return p.version + "/" + p.release + "/" + p.customer; }

// Walks the tree depth first; a profile met again (a loop of parents in a
// damaged store) is not followed twice.
void Walk(const Hierarchy& h, const StoredProfile& p, int level, std::set<int64_t>& seen,
          const std::function<void(const StoredProfile&, int, bool)>& visit, bool last) {
  if (!seen.insert(p.number).second) return;
  visit(p, level, last);
  const auto found = h.children.find(p.number);
  if (found == h.children.end()) return;
  for (size_t i = 0; i < found->second.size(); ++i)
    Walk(h, *found->second[i], level + 1, seen, visit, i + 1 == found->second.size());
}

int RunList(const ListOptions& o) {
  const std::vector<StoredProfile> profiles = OpenStore(o.store).Profiles();
  if (o.json) {
    PrintJson(std::cout,
              Json{{"store", kestrel::store::MaskedLocation(o.store)}, {"profiles", ProfilesJson(profiles, o.tree)}});
    return 0;
  }
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"Profile", "Source", "Target", "Parent", "Depth", "VRC", "Rule rows", "Description", "Rules"});
  auto row = [&](const StoredProfile& p, const std::string& number) {
    rows.push_back({number, ForStdout(p.source_application), ForStdout(p.target_application),
                    std::to_string(p.parent), std::to_string(p.depth), ForStdout(Vrc(p)),
                    std::to_string(RuleRows(p)), ForStdout(p.description), RuleBreakdown(p)});
  };
  if (o.tree) {
    const Hierarchy h = HierarchyOf(profiles);
    std::set<int64_t> seen;
    // Each level indents by four; the branch drawn before a child says
    // whether its parent has more children after it.
    std::vector<bool> open_levels;
    auto visit = [&](const StoredProfile& p, int level, bool last) {
      std::string prefix;
      const auto depth = static_cast<size_t>(level);
      open_levels.resize(depth + 1);
      for (size_t l = 1; l < depth; ++l) prefix += open_levels[l] ? "|   " : "    ";
      if (level > 0) prefix += last ? "`-- " : "|-- ";
      open_levels[depth] = !last;
      row(p, fmt::format("{}{}", prefix, p.number));
    };
    for (const StoredProfile* root : h.roots) Walk(h, *root, 0, seen, visit, true);
  } else {
    for (const auto& p : profiles) row(p, std::to_string(p.number));
  }
  PrintTable(std::cout, rows, o.tree ? std::vector<size_t>{3, 4, 6} : std::vector<size_t>{0, 3, 4, 6});
  return 0;
}

const Registration kList{"list", "list the profiles of a store: applications, parent, depth, VRC, description, rules",
                         DeclareListOptions, RunList};

}  // namespace
}  // namespace kestrel::cli
