// kestrel check and kestrel import: the check of a logic pack that an import
// runs before it deletes anything, on its own; and the import itself, with
// the proposal of `show` (or the given target entries), verified as `verify`
// does, refused without --replace when it would delete what the store holds.

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/import_object.h"
#include "cli/selection_view.h"
#include "component/errors_ours.h"
#include "store/open.h"

namespace kestrel::cli {
namespace {

namespace k = Kestrel20ImpExp;

struct PackOptions {
  std::string pack, store, registry, user;
  std::vector<std::string> targets;
  bool replace = false;
};

// The number an "Unexpected Error." report carries, for the exit message.
int32_t ReportedNumber(const std::string& message, int32_t fallback) {
  static constexpr std::string_view kHead = "Unexpected Error.Error Number: ";
  if (message.compare(0, kHead.size(), kHead) != 0) return fallback;
  return static_cast<int32_t>(std::strtol(message.c_str() + kHead.size(), nullptr, 10));
}

// "error N: DESCRIPTION", then where the check refused the pack, or the
// message when it says something else.
int FailWithMessage(k::clsImport& import, const std::string& message) {
  int32_t number = ReportedNumber(message, import.get_ErrorNumber());
  if (number == 0) number = k::Number(k::Ours::Internal);
  std::string description = import.get_ErrorDescription();
  if (description.empty()) description = message;
  int rc = Fail(number, description);
  if (!import.RefusedAt().empty())
    std::cerr << "The pack was refused before anything was deleted or imported: " << import.RefusedAt() << '\n';
  else if (!message.empty() && message != description)
    std::cerr << message << '\n';
  return rc;
}

// The name of the user running the command: the account's login name, else
// what the environment says.
std::string LoginName() {
  k::Env& env = CommandEnv();
  if (std::string name = env.AccountName(); !name.empty()) return name;
  for (const char* name : {"LOGNAME", "USER"})
    if (std::string v = env.Variable(name); !v.empty()) return v;
  return "";
}

// Connects the object to the store and the pack as the import needs them:
// the store is also the name the bulk loading is given, on this machine.
void Prepare(k::clsImport& import, const PackOptions& o) {
  import.putref_DataConnection(k::store::Open(o.store));
  import.put_Path(o.pack);
  import.put_DatabaseName(o.store);
  import.put_DatabaseServer("local");
  import.put_LastModifiedUser(o.user.empty() ? LoginName() : o.user);
  if (ProgressWanted())
    import.SetProgress([](const std::string& what, int64_t done) { ShowProgress(what, done); });
}

void AddPackOptions(CLI::App& sub, PackOptions& o) {
  sub.add_option("PACK", o.pack, "logic pack folder")->required();
  sub.add_option("--store", o.store, "profile store file to import into")->required();
  sub.add_option("--target", o.targets,
                 "target entry for the pack's next profile, in the order `show` lists them: "
                 "NUMBER|SOURCE APP|TARGET APP|PARENT|SOURCE EXTN|TARGET EXTN (default: the proposal of `show`)")
      ->check(CLI::Validator([](std::string& entry) { return TargetEntryProblem(entry); }, "ENTRY", "target entry"));
  AddRegistryOption(sub, o.registry);
}

int RunCheck(const PackOptions& o) {
  return WithImportObject(o.registry, [&](k::clsImport& import) {
    Prepare(import, o);
    std::string proposal;
    if (!import.ShowLogicPackDetails(proposal)) return Fail(import.get_ErrorNumber(), import.get_ErrorDescription());
    std::string details = DetailsWithTargets(proposal, o.targets), message;
    if (!import.CheckLogicPack(details, message)) return FailWithMessage(import, message);
    EndProgress();
    std::cout << "The logic pack passes the check: every file the import loads can be read and converted.\n";
    return 0;
  });
}

int RunImport(const PackOptions& o) {
  return WithImportObject(o.registry, [&](k::clsImport& import) {
    Prepare(import, o);
    std::string proposal;
    if (!import.ShowLogicPackDetails(proposal)) return Fail(import.get_ErrorNumber(), import.get_ErrorDescription());
    std::string details = DetailsWithTargets(proposal, o.targets);

    std::string checked, messages;
    if (!import.VerifyUserSelections(details, checked, messages)) {
      std::string joined;
      for (const auto& line : SplitMessages(messages)) joined += (joined.empty() ? "" : " ") + line;
      int32_t number = import.get_ErrorNumber();
      return Fail(number ? number : k::Number(k::Ours::InvalidSelection), joined);
    }

    // The import deletes what it replaces before it loads; that takes consent.
    const std::vector<std::string> replaced = MarkedForReplacement(checked);
    if (!replaced.empty() && !o.replace) {
      std::string names;
      for (const auto& n : replaced) names += (names.empty() ? "" : ", ") + n;
      return Fail(k::Number(k::Ours::ReplaceNotConfirmed),
                  std::string(k::DefaultText(k::Ours::ReplaceNotConfirmed)) + ": the store holds " + names);
    }

    std::string message;
    if (!import.ImportLogicPack(details, message)) return FailWithMessage(import, message);
    EndProgress();
    const DetailsView view = ParseDetails(details);
    for (size_t i = 0; i < view.sources.size() && i < view.targets.size(); ++i)
      std::cout << "imported pack profile " << view.sources[i][0] << " as profile " << view.targets[i][0] << " ("
                << view.targets[i][1] << " to " << view.targets[i][2] << ")\n";
    return 0;
  });
}

Registration check_command("check", "check that every file of a logic pack can be imported, changing nothing",
                           [](CLI::App& sub) {
                             auto o = std::make_shared<PackOptions>();
                             AddPackOptions(sub, *o);
                             return [o]() -> int { return RunCheck(*o); };
                           });

Registration import_command(
    "import", "import a logic pack into a profile store (checked first: a pack that fails changes nothing)",
    [](CLI::App& sub) {
      auto o = std::make_shared<PackOptions>();
      AddPackOptions(sub, *o);
      sub.add_option("--user", o->user, "user recorded as the last to change the imported rules (default: login name)");
      sub.add_flag("--replace", o->replace,
                   "allow the import to delete the stored profiles and applications the pack replaces");
      return [o]() -> int { return RunImport(*o); };
    });

}  // namespace
}  // namespace kestrel::cli
