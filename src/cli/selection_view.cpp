// A pack's profiles and their targets as a table.
#include "selection_view.h"

#include <string>

#include "output.h"

namespace kestrel::cli {
namespace {

std::string Marked(std::string field, bool marked) { return marked ? field + '*' : field; }

}  // namespace

void PrintDetailsTable(std::ostream& out, const std::vector<kestrel::PackProfile>& sources,
                       const std::vector<kestrel::Target>& targets) {
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"#", "Pack profile", "Source app", "Target app", "Parent", "Source extn", "Target extn", "|",
                  "Import as", "Source app", "Target app", "Parent"});
  for (size_t i = 0; i < sources.size() || i < targets.size(); ++i) {
    std::vector<std::string> row{std::to_string(i)};
    if (i < sources.size()) {
      const kestrel::PackProfile& s = sources[i];
      row.insert(row.end(), {std::to_string(s.number), ForStdout(s.source_application),
                             ForStdout(s.target_application), std::to_string(s.parent), s.source_extn, s.target_extn});
    } else {
      row.resize(7);
    }
    row.push_back("|");
    if (i < targets.size()) {
      const kestrel::Target& t = targets[i];
      row.insert(row.end(), {Marked(std::to_string(t.profile), t.stored.profile),
                             ForStdout(Marked(t.source_application, t.stored.source_application)),
                             ForStdout(Marked(t.target_application, t.stored.target_application)),
                             Marked(std::to_string(t.parent), t.stored.parent_missing || t.parent == 0)});
    } else {
      row.resize(12);
    }
    rows.push_back(std::move(row));
  }
  PrintTable(out, rows);
  out << "Markers: \"*\" after a profile number or an application: the store already holds it, and an import "
         "replaces it.\n"
         "         \"*\" after a parent: the store does not hold that profile (\"0*\": no parent, a root).\n";
}

}  // namespace kestrel::cli
