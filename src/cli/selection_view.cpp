// Presentation of logic pack details for `show` and `verify`.
#include "selection_view.h"

#include <algorithm>
#include <cstdio>


namespace kestrel::cli {

void PrintDetailsTable(std::ostream& out, const DetailsView& view) {
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"#", "Pack profile", "Source app", "Target app", "Parent", "Source extn", "Target extn", "|",
                  "Import as", "Source app", "Target app", "Parent"});
  for (size_t i = 0; i < view.sources.size() || i < view.targets.size(); ++i) {
    EntryFields s = i < view.sources.size() ? view.sources[i] : EntryFields{};
    EntryFields t = i < view.targets.size() ? view.targets[i] : EntryFields{};
    rows.push_back({std::to_string(i), s[0], s[1], s[2], s[3], s[4], s[5], "|", t[0], t[1], t[2], t[3]});
  }
  std::vector<size_t> width(rows[0].size(), 0);
  for (const auto& r : rows)
    for (size_t c = 0; c < r.size(); ++c) width[c] = std::max(width[c], r[c].size());
  for (const auto& r : rows) {
    std::string line;
    for (size_t c = 0; c < r.size(); ++c) {
      if (c) line += "  ";
      line += r[c];
      if (c + 1 < r.size()) line.append(width[c] - r[c].size(), ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  }
  out << "Markers: \"*\" after a profile number or an application: the store already holds it, and an import "
         "replaces it.\n"
         "         \"*\" after a parent: the store does not hold that profile (\"0*\": no parent, a root).\n";
}

std::string JsonString(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
  return out;
}

namespace {

void PrintEntries(std::ostream& out, const std::vector<EntryFields>& entries) {
  static constexpr std::array<std::string_view, 6> kNames = {
      "profile", "source_application", "target_application", "parent", "source_extn", "target_extn"};
  out << '[';
  for (size_t i = 0; i < entries.size(); ++i) {
    out << (i ? "," : "") << '{';
    for (size_t k = 0; k < kNames.size(); ++k)
      out << (k ? "," : "") << '"' << kNames[k] << "\":" << JsonString(entries[i][k]);
    out << '}';
  }
  out << ']';
}

}  // namespace

void PrintDetailsJson(std::ostream& out, const std::string& details, const DetailsView& view, bool verified,
                      bool passed, const std::vector<std::string>& messages) {
  out << "{\"details\":" << JsonString(details) << ",\"source\":";
  PrintEntries(out, view.sources);
  out << ",\"target\":";
  PrintEntries(out, view.targets);
  if (verified) {
    out << ",\"passed\":" << (passed ? "true" : "false") << ",\"messages\":[";
    for (size_t i = 0; i < messages.size(); ++i) out << (i ? "," : "") << JsonString(messages[i]);
    out << ']';
  }
  out << "}\n";
}

}  // namespace kestrel::cli
