// kestrel check and kestrel import: the check of a logic pack that an import
// runs before it deletes anything, on its own; and the import itself, with
// the proposal of `show` (or the given target entries), verified as `verify`
// does, refused without --replace when it would delete what the store holds,
// run as one unit of the store (or dry, rolled back) and summarised.

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "command.h"
#include "import_object.h"
#include "import_summary.h"
#include "lock_wait.h"
#include "output.h"
#include "signal_interruption.h"
#include "selection_view.h"
#include "shared_options.h"
#include "kestrel/errors.h"

namespace kestrel::cli {
namespace {

// What `check` takes: the pack, the store it would go into, the target
// entries and the registry file.
struct CheckOptions {
  std::string pack;
  std::string store;
  std::vector<std::string> targets;
  std::string registry;
  bool json = false;
  bool no_sums = false;
};

// What `import` takes: what `check` takes, since the import checks first, the
// user to record and the consent to replace what the store holds.
struct ImportOptions {
  CheckOptions check;
  std::string user;
  bool replace = false;
  bool dry_run = false;
  bool keep_work = false;
};

// Connects the object to the store and the pack as the import needs them.
// An empty `user` records the login name.
void Prepare(Kestrel20ImpExp::clsImport& import, const CheckOptions& o, const std::string& user) {
  OpenPackForLoading(import, o.store, o.pack, o.no_sums);
  import.put_LastModifiedUser(user.empty() ? kestrel::present::LoginName(CommandEnv()) : user);
  if (ProgressWanted())
    import.SetProgress([](const std::string& what, int64_t done, int64_t total) { ShowProgress(what, done, total); });
}

void DeclareCheckOptions(CLI::App& sub, CheckOptions& o) {
  AddPackArgument(sub, o.pack);
  AddStoreOption(sub, o.store, "profile store file to import into");
  AddTargetOption(sub, o.targets);
  AddRegistryOption(sub, o.registry);
  AddNoSumsFlag(sub, o.no_sums);
}

void DeclareCheckCommand(CLI::App& sub, CheckOptions& o) {
  DeclareCheckOptions(sub, o);
  AddJsonFlag(sub, o.json, "print the verdict as JSON");
}

void DeclareImportOptions(CLI::App& sub, ImportOptions& o) {
  DeclareCheckOptions(sub, o.check);
  sub.add_option("--user", o.user, "user recorded as the last to change the imported rules (default: login name)");
  sub.add_flag("--replace", o.replace,
               "allow the import to delete the stored profiles and applications the pack replaces");
  sub.add_flag("--dry-run", o.dry_run,
               "run the whole import, then roll it back: print what it would do and change nothing");
  AddJsonFlag(sub, o.check.json, "print the summary as JSON for host programs");
  sub.add_flag("--keep-work", o.keep_work,
               "keep the import's working folder (ImportAt...) with its copies of the application data");
}

int RunCheck(const CheckOptions& o) {
  return WithImportObject(o.registry, [&](Kestrel20ImpExp::clsImport& import) {
    Prepare(import, o, "");
    const std::optional<std::string> proposal = ProposedDetails(import);
    if (!proposal) return 1;
    std::string details = DetailsWithTargets(*proposal, o.targets), message;
    if (!import.CheckLogicPack(details, message)) return FailWithMessage(import, message);
    EndProgress();
    if (o.json)
      PrintJson(std::cout, Json{{"pack", o.pack}, {"passed", true}});
    else
      std::cout << "The logic pack passes the check: every file the import loads can be read and converted.\n";
    return 0;
  });
}

int RunImport(const ImportOptions& o) {
  return WithImportObject(o.check.registry, [&](Kestrel20ImpExp::clsImport& import) {
    Prepare(import, o.check, o.user);
    const std::optional<std::string> proposal = ProposedDetails(import);
    if (!proposal) return 1;
    std::string details = DetailsWithTargets(*proposal, o.check.targets);

    std::string checked, messages;
    if (!import.VerifyUserSelections(details, checked, messages)) return FailSelection(import, SplitMessages(messages));

    // The import deletes what it replaces before it loads; that takes
    // consent, unless it is rolled back anyway.
    if (const std::string refusal = UnconfirmedReplacement(checked); !refusal.empty() && !o.replace && !o.dry_run)
      return Fail(kestrel::Number(kestrel::Ours::ReplaceNotConfirmed), refusal);

    import.SetDryRun(o.dry_run);
    import.SetKeepWork(o.keep_work);
    UseLockWait(import);
    std::string message;
    bool imported = false;
    {
      SignalInterruption stop_on_signals;
      imported = import.ImportLogicPack(details, message);
    }
    EndProgress();
    if (!imported) return FailWithMessage(import, message);
    const DetailsView view = ParseDetails(details);
    if (o.check.json)
      PrintImportSummaryJson(std::cout, view, import.Summary());
    else
      PrintImportSummary(std::cout, view, import.Summary());
    return 0;
  });
}

const Registration kCheck{"check", "check that every file of a logic pack can be imported, changing nothing",
                          DeclareCheckCommand, RunCheck};

const Registration kImport{
    "import", "import a logic pack into a profile store (checked first: a pack that fails changes nothing)",
    DeclareImportOptions, RunImport};

}  // namespace
}  // namespace kestrel::cli
