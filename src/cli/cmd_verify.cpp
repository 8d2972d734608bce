// kestrel verify: checks a choice of target numbers, applications and
// parents for the profiles of a logic pack against the store, as
// VerifyUserSelections does before an import. Exit 0 when it passes.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "import_object.h"
#include "selection_view.h"
#include "shared_options.h"

namespace kestrel::cli {
namespace {

struct VerifyOptions {
  std::string pack;
  std::string store;
  std::vector<std::string> targets;
  DetailsFormat format;
  std::string registry;
};

void DeclareVerifyOptions(CLI::App& sub, VerifyOptions& o) {
  AddPackArgument(sub, o.pack);
  AddStoreOption(sub, o.store, "profile store file the pack would be imported into");
  AddTargetOption(sub, o.targets);
  AddDetailsFormatFlags(sub, o.format, "write the exact checked details string (characters 1 and 13 included)",
                        "write the checked details and the messages as JSON for host programs");
  AddRegistryOption(sub, o.registry);
}

int RunVerify(const VerifyOptions& o) {
  return WithImportObject(o.registry, [&](Kestrel20ImpExp::clsImport& import) {
    OpenPack(import, o.store, o.pack);
    const std::optional<std::string> proposal = ProposedDetails(import);
    if (!proposal) return 1;

    const std::string details = DetailsWithTargets(*proposal, o.targets);

    std::string checked, messages;
    const bool passed = import.VerifyUserSelections(details, checked, messages);
    const auto lines = SplitMessages(messages);
    if (o.format.raw) {
      std::cout << checked;
    } else if (o.format.json) {
      PrintDetailsJson(std::cout, checked, ParseDetails(checked), true, passed, lines);
    } else {
      PrintDetailsTable(std::cout, ParseDetails(checked));
      std::cout << (passed ? "The selection passes.\n" : "The selection does not pass:\n");
      for (const auto& line : lines) std::cout << line << '\n';
    }
    std::cout.flush();
    if (passed) return 0;
    return FailSelection(import, lines);
  });
}

const Registration kVerify{"verify", "check a choice of numbers, applications and parents for a logic pack",
                           DeclareVerifyOptions, RunVerify};

}  // namespace
}  // namespace kestrel::cli
