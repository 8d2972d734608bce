// kestrel check and kestrel import: the check of a logic pack that an import
// runs before it deletes anything, on its own; and the import itself, with
// the proposal of `show` (or the given target entries), verified as `verify`
// does, refused without --replace when it would delete what the store holds,
// run as one unit of the store (or dry, rolled back) and summarised.
#include <atomic>
#include <iostream>
#include <string>

#include "command.h"
#include "import_summary.h"
#include "output.h"
#include "pack_request.h"
#include "shared_options.h"
#include "signal_interruption.h"
#include "present/import_view.h"

namespace kestrel::cli {
namespace {

// What a refusal of the pack adds to its error: where, and that nothing changed.
constexpr std::string_view kRefusedAt = "The pack was refused and the store left as it was: ";

// What `check` takes: the pack, the store it would go into, the target
// entries and the registry file.
struct CheckOptions {
  PackOptions pack;
  bool json = false;
};

// What `import` takes: what `check` takes, since the import checks first, the
// user to record and the consent to replace what the store holds.
struct ImportOptions {
  CheckOptions check;
  std::string user;
  bool replace = false;
  bool dry_run = false;
  bool keep_work = false;
  bool no_undo = false;
};

void DeclareCheckCommand(CLI::App& sub, CheckOptions& o) {
  DeclarePackOptions(sub, o.pack, "profile store file to import into");
  AddJsonFlag(sub, o.json, "print the verdict as JSON");
}

void DeclareImportOptions(CLI::App& sub, ImportOptions& o) {
  DeclarePackOptions(sub, o.check.pack, "profile store file to import into");
  sub.add_option("--user", o.user, "user recorded as the last to change the imported rules (default: login name)");
  sub.add_flag("--replace", o.replace,
               "allow the import to delete the stored profiles and applications the pack replaces");
  sub.add_flag("--dry-run", o.dry_run,
               "run the whole import, then roll it back: print what it would do and change nothing");
  AddJsonFlag(sub, o.check.json, "print the summary as JSON for host programs");
  sub.add_flag("--keep-work", o.keep_work,
               "keep the import's working folder (ImportAt...) with its copies of the application data");
  sub.add_flag("--no-undo", o.no_undo,
               "record no run in the store and keep no undo copy of what the import replaces (for very large "
               "imports; `kestrel undo` cannot undo it then)");
}

int RunCheck(const CheckOptions& o) {
  kestrel::Store store = OpenStore(o.pack.store);
  try {
    kestrel::Check(store, RequestOf(o.pack, store), CommandContext());
  } catch (const kestrel::Error& e) {
    return Fail(e, kRefusedAt);
  }
  EndProgress();
  if (o.json)
    PrintJson(std::cout, Json{{"pack", ShownPack(o.pack.pack)}, {"passed", true}});
  else
    std::cout << "The logic pack passes the check: every file the import loads can be read and converted.\n";
  return 0;
}

int RunImport(const ImportOptions& o) {
  kestrel::Store store = OpenStore(o.check.pack.store);
  kestrel::ImportRequest request = RequestOf(o.check.pack, store);
  request.user = o.user;
  request.replace = o.replace ? kestrel::ReplacePolicy::Replace : kestrel::ReplacePolicy::Refuse;
  request.dry_run = o.dry_run;
  request.keep_work = o.keep_work;
  request.no_undo = o.no_undo;
  std::atomic<bool> stop{false};
  kestrel::ImportReport report;
  try {
    SignalInterruption stop_on_signals(&stop);
    report = kestrel::Import(store, request, CommandContext(&stop));
  } catch (const kestrel::Error& e) {
    return Fail(e, e.place().file.empty() ? "where: " : kRefusedAt);
  }
  EndProgress();
  if (o.check.json)
    PrintJson(std::cout, kestrel::present::ImportSummaryJson(report));
  else
    PrintImportSummary(std::cout, report);
  return 0;
}

const Registration kCheck{"check", "check that every file of a logic pack can be imported, changing nothing",
                          DeclareCheckCommand, RunCheck};

const Registration kImport{
    "import", "import a logic pack into a profile store (checked first: a pack that fails changes nothing)",
    DeclareImportOptions, RunImport};

}  // namespace
}  // namespace kestrel::cli
