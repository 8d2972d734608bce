// kestrel show: checks a logic pack and prints its profiles with the import
// that ShowLogicPackDetails proposes for them.
#include <iostream>
#include <optional>
#include <string>

#include "command.h"
#include "import_object.h"
#include "selection_view.h"
#include "shared_options.h"

namespace kestrel::cli {
namespace {

struct ShowOptions {
  std::string pack;
  std::string store;
  DetailsFormat format;
  std::string registry;
  bool no_sums = false;
};

void DeclareShowOptions(CLI::App& sub, ShowOptions& o) {
  AddPackArgument(sub, o.pack);
  AddStoreOption(sub, o.store, "profile store file the pack would be imported into");
  AddDetailsFormatFlags(sub, o.format, "write the exact details string (characters 1 and 13 included)",
                        "write the details as JSON for host programs");
  AddRegistryOption(sub, o.registry);
  AddNoSumsFlag(sub, o.no_sums);
}

int RunShow(const ShowOptions& o) {
  return WithImportObject(o.registry, [&](Kestrel20ImpExp::clsImport& import) {
    OpenPack(import, o.store, o.pack, o.no_sums);
    const std::optional<std::string> proposal = ProposedDetails(import);
    if (!proposal) return 1;
    const std::string& details = *proposal;
    if (o.format.raw)
      std::cout << details;
    else if (o.format.json)
      PrintJson(std::cout, DetailsJson(details, ParseDetails(details)));
    else
      PrintDetailsTable(std::cout, ParseDetails(details));
    std::cout.flush();
    return 0;
  });
}

const Registration kShow{"show", "check a logic pack and print its profiles with the proposed import",
                         DeclareShowOptions, RunShow};

}  // namespace
}  // namespace kestrel::cli
