// kestrel show: checks a logic pack and prints its profiles with the import
// proposed for them, or the import that the targets, renumbering or
// applications given ask for, what the store holds marked.
#include <iostream>
#include <string>
#include <vector>

#include "command.h"
#include "output.h"
#include "pack_request.h"
#include "selection_view.h"
#include "shared_options.h"
#include "kestrel/details.h"
#include "present/import_view.h"

namespace kestrel::cli {
namespace {

struct ShowOptions {
  PackOptions pack;
  DetailsFormat format;
};

void DeclareShowOptions(CLI::App& sub, ShowOptions& o) {
  DeclarePackOptions(sub, o.pack, "profile store file the pack would be imported into");
  AddDetailsFormatFlags(sub, o.format, "write the exact details string (characters 1 and 13 included)",
                        "write the details as JSON for host programs");
}

int RunShow(const ShowOptions& o) {
  kestrel::Store store = OpenStore(o.pack.store);
  SayHowThePackIsRead(o.pack.pack, o.pack.no_sums);
  const kestrel::PackReader reader = ReaderOf(o.pack);
  std::vector<kestrel::Target> proposal = reader.Proposal(store);
  // With choices of targets, numbers or applications: the import they ask for.
  const PackOptions& p = o.pack;
  if (!p.targets.entries.empty() || p.targets.bare_number || !p.renumber.empty() || !p.applications.empty())
    proposal = kestrel::Targets(store, RequestOf(p, store), CommandContext());
  const std::vector<kestrel::PackProfile> sources = kestrel::present::ImportSources(reader.Info(), store);
  if (o.format.raw)
    std::cout << kestrel::DetailsOf(sources, proposal);
  else if (o.format.json)
    PrintJson(std::cout, kestrel::present::DetailsJson(sources, proposal));
  else
    PrintDetailsTable(std::cout, sources, proposal);
  std::cout.flush();
  return 0;
}

const Registration kShow{"show", "check a logic pack and print its profiles with the proposed import",
                         DeclareShowOptions, RunShow};

}  // namespace
}  // namespace kestrel::cli
