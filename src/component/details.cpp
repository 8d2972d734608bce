// Reading and editing the details string for hosts, on the grammar the
// import defines (importer/selection.h).
#include "kestrel/details.h"

#include <algorithm>

#include "importer/selection.h"

namespace kestrel {

namespace {

// The details string's grammar, as the import defines it.
using kestrel::importer::JoinList;
using kestrel::importer::kDetailsLineEnd;
using kestrel::importer::kEntrySeparator;
using kestrel::importer::kMarker;
using kestrel::importer::SplitEntry;
using kestrel::importer::SplitList;

constexpr std::string_view kBreak = kestrel::importer::kMessageEnd;

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
    out.push_back(UnmarkedEntry(entry));
  }
  return out;
}

std::string UnmarkedEntry(const std::string& entry) {
  auto fields = SplitEntry(entry);
  std::string joined;
  for (size_t k = 0; k < fields.size(); ++k) {
    if (k) joined += '|';
    joined += k < 4 ? Unmark(fields[k]) : fields[k];
  }
  return joined;
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

std::string DetailsOf(const std::vector<PackProfile>& sources, const std::vector<Target>& targets) {
  auto marked = [](std::string field, bool mark) { return mark ? field + kMarker : field; };
  std::vector<std::string> source_entries, target_entries;
  for (const PackProfile& p : sources)
    source_entries.push_back(std::to_string(p.number) + '|' + p.source_application + '|' + p.target_application + '|' +
                             std::to_string(p.parent) + '|' + p.source_extn + '|' + p.target_extn);
  for (const Target& t : targets)
    target_entries.push_back(marked(std::to_string(t.profile), t.stored.profile) + '|' +
                             marked(t.source_application, t.stored.source_application) + '|' +
                             marked(t.target_application, t.stored.target_application) + '|' +
                             marked(std::to_string(t.parent), t.stored.parent_missing || t.parent == 0) + '|' + t.source_extn + '|' +
                             t.target_extn);
  return JoinList(source_entries) + kDetailsLineEnd + JoinList(target_entries);
}

std::vector<Target> TargetsOf(const std::string& details) {
  std::vector<Target> targets;
  for (EntryFields f : ParseDetails(details).targets) {
    Target& t = targets.emplace_back();
    auto unmark = [](std::string& field) {
      const bool marked = !field.empty() && field.back() == kMarker;
      if (marked) field.pop_back();
      return marked;
    };
    t.stored.profile = unmark(f[0]);
    t.stored.source_application = unmark(f[1]);
    t.stored.target_application = unmark(f[2]);
    t.stored.parent_missing = unmark(f[3]);
    t.profile = static_cast<int>(kestrel::importer::NumericValue(f[0]));
    t.source_application = f[1];
    t.target_application = f[2];
    t.parent = static_cast<int>(kestrel::importer::NumericValue(f[3]));
    if (t.parent == 0) t.stored.parent_missing = false;  // a root's "0*" marks no missing parent
    t.source_extn = f[4];
    t.target_extn = f[5];
  }
  return targets;
}

}  // namespace kestrel
