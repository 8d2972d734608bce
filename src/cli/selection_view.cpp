// Presentation of logic pack details for `show` and `verify`.
#include "selection_view.h"

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

}  // namespace kestrel::cli
