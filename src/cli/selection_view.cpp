// Presentation of logic pack details for `show` and `verify`.
#include "selection_view.h"

#include <algorithm>
#include <cstdio>

#include "importer/selection.h"

namespace kestrel::cli {

namespace {

// The details string's grammar, as the import defines it.
using kestrel::importer::JoinList;
using kestrel::importer::kDetailsLineEnd;
using kestrel::importer::kEntrySeparator;
using kestrel::importer::kMarker;
using kestrel::importer::SplitEntry;
using kestrel::importer::SplitList;

constexpr std::string_view kBreak = "<BR>";

std::vector<EntryFields> Entries(const std::string& list) {
  std::vector<EntryFields> out;
  for (const auto& entry : SplitList(list, std::string_view(&kEntrySeparator, 1))) {
    EntryFields f;
    auto pieces = SplitEntry(entry);
    for (size_t k = 0; k < f.size() && k < pieces.size(); ++k) f[k] = pieces[k];
    out.push_back(std::move(f));
  }
  return out;
}

std::string Unmark(std::string field) {
  if (!field.empty() && field.back() == kMarker) field.pop_back();
  return field;
}

}  // namespace

DetailsView ParseDetails(const std::string& details) {
  DetailsView view;
  size_t cr = details.find(kDetailsLineEnd);
  view.sources = Entries(details.substr(0, cr));
  if (cr != std::string::npos) {
    std::string rest = details.substr(cr + 1);
    view.targets = Entries(rest.substr(0, rest.find(kDetailsLineEnd)));
  }
  return view;
}

std::vector<std::string> UnmarkedTargets(const std::string& details) {
  std::vector<std::string> out;
  size_t cr = details.find(kDetailsLineEnd);
  if (cr == std::string::npos) return out;
  std::string rest = details.substr(cr + 1);
  for (const auto& entry : SplitList(rest.substr(0, rest.find(kDetailsLineEnd)),
                                        std::string_view(&kEntrySeparator, 1))) {
    auto fields = SplitEntry(entry);
    std::string joined;
    for (size_t k = 0; k < fields.size(); ++k) {
      if (k) joined += '|';
      joined += k < 4 ? Unmark(fields[k]) : fields[k];
    }
    out.push_back(std::move(joined));
  }
  return out;
}

std::string DetailsWithTargets(const std::string& proposal, const std::vector<std::string>& targets) {
  std::string details = proposal.substr(0, proposal.find(kDetailsLineEnd));
  details += kDetailsLineEnd;
  details += JoinList(targets.empty() ? UnmarkedTargets(proposal) : targets);
  return details;
}

std::vector<std::string> MarkedForReplacement(const std::string& checked_details) {
  std::vector<std::string> profiles, applications;
  auto add = [](std::vector<std::string>& to, std::string name) {
    if (std::find(to.begin(), to.end(), name) == to.end()) to.push_back(std::move(name));
  };
  for (const auto& t : ParseDetails(checked_details).targets) {
    if (!t[0].empty() && t[0].back() == kMarker) add(profiles, "profile " + Unmark(t[0]));
    for (size_t k : {1, 2})
      if (!t[k].empty() && t[k].back() == kMarker) add(applications, "application " + Unmark(t[k]));
  }
  profiles.insert(profiles.end(), applications.begin(), applications.end());
  return profiles;
}

std::string TargetEntryProblem(const std::string& entry) {
  if (entry.find(kMarker) != std::string::npos)
    return "a target entry may not hold \"*\" (markers are output, never input): " + entry;
  if (entry.find(kEntrySeparator) != std::string::npos || entry.find(kDetailsLineEnd) != std::string::npos)
    return "a target entry may not hold character 1 or a carriage return";
  if (std::count(entry.begin(), entry.end(), '|') != 5)
    return "a target entry is six fields joined by \"|\" (number|source|target|parent|source extn|target extn): " +
           entry;
  return "";
}

std::vector<std::string> SplitMessages(const std::string& messages) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= messages.size()) {
    size_t at = messages.find(kBreak, start);
    std::string piece = messages.substr(start, at == std::string::npos ? std::string::npos : at - start);
    if (!piece.empty()) out.push_back(std::move(piece));
    if (at == std::string::npos) break;
    start = at + kBreak.size();
  }
  return out;
}

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
