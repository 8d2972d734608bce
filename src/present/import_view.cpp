// The JSON of pack details, verdicts and import summaries.
#include "present/import_view.h"

#include <map>

#include "kestrel/details.h"

namespace kestrel::present {

std::vector<PackProfile> ImportSources(const PackInfo& pack, Store& store) {
  // The chain export writes a profile before its bases: the import reads
  // them reversed, every base before the profiles derived from it.
  std::vector<PackProfile> sources(pack.profiles.rbegin(), pack.profiles.rend());
  std::map<int64_t, int64_t> stored_parents;
  for (const auto& p : store.Profiles()) stored_parents[p.number] = p.parent;
  for (PackProfile& p : sources)
    if (const auto found = stored_parents.find(p.number); p.parent == 0 && found != stored_parents.end())
      p.parent = static_cast<int>(found->second);
  return sources;
}

namespace {

Json SourceJson(const PackProfile& p) {
  return Json{{"profile", p.number},
              {"source_application", JsonText(p.source_application)},
              {"target_application", JsonText(p.target_application)},
              {"parent", p.parent},
              {"source_extn", JsonNumberOrText(p.source_extn)},
              {"target_extn", JsonNumberOrText(p.target_extn)}};
}

Json TargetJson(const Target& t) {
  return Json{{"profile", t.profile},
              {"source_application", JsonText(t.source_application)},
              {"target_application", JsonText(t.target_application)},
              {"parent", t.parent},
              {"source_extn", JsonNumberOrText(t.source_extn)},
              {"target_extn", JsonNumberOrText(t.target_extn)},
              {"marked", Json{{"profile", t.stored.profile},
                              {"source_application", t.stored.source_application},
                              {"target_application", t.stored.target_application},
                              {"parent", t.stored.parent_missing || t.parent == 0}}}};
}

}  // namespace

Json DetailsJson(const std::vector<PackProfile>& sources, const std::vector<Target>& targets) {
  Json source = Json::array(), target = Json::array();
  for (const PackProfile& p : sources) source.push_back(SourceJson(p));
  for (const Target& t : targets) target.push_back(TargetJson(t));
  return Json{{"details", JsonText(DetailsOf(sources, targets))}, {"source", source}, {"target", target}};
}

Json VerdictJson(const std::vector<PackProfile>& sources, const std::vector<Target>& targets, bool passed,
                 const std::vector<std::string>& messages) {
  Json report = DetailsJson(sources, targets);
  report["passed"] = passed;
  Json texts = Json::array();
  for (const auto& line : messages) texts.push_back(JsonText(line));
  report["messages"] = texts;
  return report;
}

Json ImportSummaryJson(const ImportReport& report) {
  Json imported = Json::array();
  for (size_t i = 0; i < report.sources.size() && i < report.targets.size(); ++i)
    imported.push_back(Json{{"pack_profile", report.sources[i].number},
                            {"profile", report.targets[i].profile},
                            {"source_application", JsonText(report.targets[i].source_application)},
                            {"target_application", JsonText(report.targets[i].target_application)}});
  Json applications = Json::array();
  for (const auto& a : report.applications_replaced) applications.push_back(JsonText(a));
  Json tables = Json::object();
  for (const auto& [table, rows] : report.rows)
    tables[table] = Json{{"deleted", rows.deleted}, {"added", rows.added}};
  return Json{{"dry_run", report.dry_run},
              {"committed", report.committed},
              {"seconds", report.seconds},
              {"imported", imported},
              {"profiles_replaced", report.profiles_replaced},
              {"applications_replaced", applications},
              {"tables", tables},
              {"run", report.run}};
}

}  // namespace kestrel::present
