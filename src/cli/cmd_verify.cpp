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
    OpenPackForLoading(import, o.store, o.pack);
    const std::optional<std::string> proposal = ProposedDetails(import);
    if (!proposal) return 1;

    const std::string details = DetailsWithTargets(*proposal, o.targets);

    std::string checked, messages;
    bool passed = import.VerifyUserSelections(details, checked, messages);
    auto lines = SplitMessages(messages);
    // A selection passes only with a pack the import would load: the check
    // an import runs first, with this selection.
    bool pack_refused = false;
    if (passed) {
      std::string check_details = details, check_message;
      if (!import.CheckLogicPack(check_details, check_message)) {
        passed = false;
        pack_refused = true;
        lines.push_back(import.get_ErrorDescription());
        if (!import.RefusedAt().empty()) lines.push_back("in " + import.RefusedAt());
      }
    }
    if (o.format.raw) {
      std::cout << checked;
    } else if (o.format.json) {
      Json report = DetailsJson(checked, ParseDetails(checked));
      report["passed"] = passed;
      Json texts = Json::array();
      for (const auto& line : lines) texts.push_back(JsonText(line));
      report["messages"] = texts;
      PrintJson(std::cout, report);
    } else {
      PrintDetailsTable(std::cout, ParseDetails(checked));
      std::cout << (passed ? "The selection passes.\n" : "The selection does not pass:\n");
      for (const auto& line : lines) std::cout << line << '\n';
    }
    std::cout.flush();
    if (passed) return 0;
    if (pack_refused) return FailWithMessage(import, "");
    return FailSelection(import, lines);
  });
}

const Registration kVerify{"verify", "check a choice of numbers, applications and parents for a logic pack",
                           DeclareVerifyOptions, RunVerify};

}  // namespace
}  // namespace kestrel::cli
