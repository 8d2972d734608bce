// kestrel verify: checks a choice of target numbers, applications and
// parents for the profiles of a logic pack against the store, as
// VerifyUserSelections does before an import. Exit 0 when it passes.
#include <iostream>
#include <memory>

#include "cli/command.h"
#include "cli/import_object.h"
#include "cli/selection_view.h"
#include "component/errors_ours.h"
#include "import/selection.h"
#include "store/open.h"

namespace kestrel::cli {
namespace {

namespace k = Kestrel20ImpExp;

struct VerifyOptions {
  std::string pack, store, registry;
  std::vector<std::string> targets;
  bool raw = false, json = false;
};

Registration reg("verify", "check a choice of numbers, applications and parents for a logic pack", [](CLI::App& sub) {
  auto o = std::make_shared<VerifyOptions>();
  sub.add_option("PACK", o->pack, "logic pack folder")->required();
  sub.add_option("--store", o->store, "profile store file the pack would be imported into")->required();
  sub.add_option("--target", o->targets,
                 "target entry for the pack's next profile, in the order `show` lists them: "
                 "NUMBER|SOURCE APP|TARGET APP|PARENT|SOURCE EXTN|TARGET EXTN (default: the proposal of `show`)")
      ->check(CLI::Validator(
          [](std::string& entry) { return TargetEntryProblem(entry); }, "ENTRY", "target entry"));
  auto* raw = sub.add_flag("--raw", o->raw, "write the exact checked details string (characters 1 and 13 included)");
  sub.add_flag("--json", o->json, "write the checked details and the messages as JSON for host programs")
      ->excludes(raw);
  AddRegistryOption(sub, o->registry);
  return [o]() -> int {
    return WithImportObject(o->registry, [&](k::clsImport& import) {
      import.putref_DataConnection(k::store::Open(o->store));
      import.put_Path(o->pack);
      std::string proposal;
      if (!import.ShowLogicPackDetails(proposal))
        return Fail(import.get_ErrorNumber(), import.get_ErrorDescription());

      const std::string details = DetailsWithTargets(proposal, o->targets);

      std::string checked, messages;
      const bool passed = import.VerifyUserSelections(details, checked, messages);
      const auto lines = SplitMessages(messages);
      if (o->raw) {
        std::cout << checked;
      } else if (o->json) {
        PrintDetailsJson(std::cout, checked, ParseDetails(checked), true, passed, lines);
      } else {
        PrintDetailsTable(std::cout, ParseDetails(checked));
        std::cout << (passed ? "The selection passes.\n" : "The selection does not pass:\n");
        for (const auto& line : lines) std::cout << line << '\n';
      }
      std::cout.flush();
      if (passed) return 0;
      int32_t number = import.get_ErrorNumber();
      if (number == 0) number = k::Number(k::Ours::InvalidSelection);
      std::string joined;
      for (const auto& line : lines) joined += (joined.empty() ? "" : " ") + line;
      return Fail(number, joined);
    });
  };
});

}  // namespace
}  // namespace kestrel::cli
