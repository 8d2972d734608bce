// The JSON of pack details, verdicts and import summaries.
#include "present/import_view.h"

#include <array>
#include <string_view>

namespace kestrel::present {

namespace {

constexpr std::array<std::string_view, 6> kFieldNames = {
    "profile", "source_application", "target_application", "parent", "source_extn", "target_extn"};

// The field as JSON: applications are texts, the rest numbers where they are.
Json FieldJson(size_t k, std::string_view value) {
  return k == 1 || k == 2 ? JsonText(value) : JsonNumberOrText(value);
}

Json EntriesJson(const std::vector<EntryFields>& entries, bool with_markers) {
  Json list = Json::array();
  for (const EntryFields& e : entries) {
    Json entry = Json::object();
    Json marked = Json::object();
    for (size_t k = 0; k < kFieldNames.size(); ++k) {
      std::string_view value = e[k];
      // Only the first four fields carry markers.
      const bool is_marked = k < 4 && !value.empty() && value.back() == '*';
      if (with_markers && is_marked) value.remove_suffix(1);
      entry[std::string(kFieldNames[k])] = FieldJson(k, value);
      if (with_markers && k < 4) marked[std::string(kFieldNames[k])] = is_marked;
    }
    if (with_markers) entry["marked"] = marked;
    list.push_back(entry);
  }
  return list;
}

}  // namespace

Json DetailsJson(const std::string& details, const DetailsView& view) {
  return Json{{"details", JsonText(details)},
              {"source", EntriesJson(view.sources, false)},
              {"target", EntriesJson(view.targets, true)}};
}

Json VerdictJson(const SelectionVerdict& v) {
  Json report = DetailsJson(v.checked, ParseDetails(v.checked));
  report["passed"] = v.passed;
  Json texts = Json::array();
  for (const auto& line : v.messages) texts.push_back(JsonText(line));
  report["messages"] = texts;
  return report;
}

Json ImportSummaryJson(const DetailsView& view, const ImportSummary& s) {
  Json imported = Json::array();
  for (size_t i = 0; i < view.sources.size() && i < view.targets.size(); ++i)
    imported.push_back(Json{{"pack_profile", JsonNumberOrText(view.sources[i][0])},
                            {"profile", JsonNumberOrText(view.targets[i][0])},
                            {"source_application", JsonText(view.targets[i][1])},
                            {"target_application", JsonText(view.targets[i][2])}});
  Json applications = Json::array();
  for (const auto& a : s.ApplicationsReplaced) applications.push_back(JsonText(a));
  Json tables = Json::object();
  for (const auto& [table, rows] : s.Rows) tables[table] = Json{{"deleted", rows.deleted}, {"added", rows.added}};
  return Json{{"dry_run", s.DryRun},
              {"committed", s.Committed},
              {"seconds", s.Seconds},
              {"imported", imported},
              {"profiles_replaced", s.ProfilesReplaced},
              {"applications_replaced", applications},
              {"tables", tables}};
}

}  // namespace kestrel::present
