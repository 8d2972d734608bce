// kestrel verify: checks a choice of target numbers, applications and
// parents for the profiles of a logic pack against the store, as
// VerifyUserSelections does before an import, and then the pack with that
// choice, as the import checks it before it deletes anything. Exit 0 when
// both pass.
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
  bool no_sums = false;
};

void DeclareVerifyOptions(CLI::App& sub, VerifyOptions& o) {
  AddPackArgument(sub, o.pack);
  AddStoreOption(sub, o.store, "profile store file the pack would be imported into");
  AddTargetOption(sub, o.targets);
  AddDetailsFormatFlags(sub, o.format, "write the exact checked details string (characters 1 and 13 included)",
                        "write the checked details and the messages as JSON for host programs");
  AddRegistryOption(sub, o.registry);
  AddNoSumsFlag(sub, o.no_sums);
}

int RunVerify(const VerifyOptions& o) {
  return WithImportObject(o.registry, [&](Kestrel20ImpExp::clsImport& import) {
    OpenPackForLoading(import, o.store, o.pack, o.no_sums);
    const std::optional<std::string> proposal = ProposedDetails(import);
    if (!proposal) return 1;

    const std::string details = DetailsWithTargets(*proposal, o.targets);

    const SelectionVerdict v = VerifySelection(import, details);
    if (o.format.raw) {
      std::cout << v.checked;
    } else if (o.format.json) {
      PrintJson(std::cout, VerdictJson(v));
    } else {
      PrintDetailsTable(std::cout, ParseDetails(v.checked));
      std::cout << (v.passed ? "The selection passes.\n" : "The selection does not pass:\n");
      for (const auto& line : v.messages) std::cout << line << '\n';
    }
    std::cout.flush();
    if (v.passed) return 0;
    if (v.pack_refused) return FailWithMessage(import, "");
    return FailSelection(import, v.messages);
  });
}

const Registration kVerify{"verify", "check a choice of numbers, applications and parents for a logic pack",
                           DeclareVerifyOptions, RunVerify};

}  // namespace
}  // namespace kestrel::cli
