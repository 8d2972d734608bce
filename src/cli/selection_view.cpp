// Presentation of logic pack details for `show` and `verify`.
#include "selection_view.h"

#include <array>
#include <string_view>

namespace kestrel::cli {

void PrintDetailsTable(std::ostream& out, const DetailsView& view) {
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"#", "Pack profile", "Source app", "Target app", "Parent", "Source extn", "Target extn", "|",
                  "Import as", "Source app", "Target app", "Parent"});
  for (size_t i = 0; i < view.sources.size() || i < view.targets.size(); ++i) {
    EntryFields s = i < view.sources.size() ? view.sources[i] : EntryFields{};
    EntryFields t = i < view.targets.size() ? view.targets[i] : EntryFields{};
    rows.push_back({std::to_string(i), s[0], ForStdout(s[1]), ForStdout(s[2]), s[3], s[4], s[5], "|", t[0],
                    ForStdout(t[1]), ForStdout(t[2]), t[3]});
  }
  PrintTable(out, rows);
  out << "Markers: \"*\" after a profile number or an application: the store already holds it, and an import "
         "replaces it.\n"
         "         \"*\" after a parent: the store does not hold that profile (\"0*\": no parent, a root).\n";
}

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

}  // namespace kestrel::cli
