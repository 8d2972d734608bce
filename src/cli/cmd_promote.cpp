// kestrel promote SRC:N DST: a profile moved from one store into another in
// one step, no pack folder left anywhere: what the import would change in
// DST counted and shown, consent asked on a terminal (or given by --yes),
// then the import in one transaction, or a dry run rolled back.
#include <atomic>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "command.h"
#include "import_summary.h"
#include "lock_wait.h"
#include "output.h"
#include "pack_request.h"
#include "present/diff_view.h"
#include "present/import_view.h"
#include "shared_options.h"
#include "signal_interruption.h"
#include "kestrel/promote.h"

namespace kestrel::cli {
namespace {

using kestrel::diff::Side;

struct PromoteOptions {
  std::string source, destination;
  bool single = false;
  bool revisions = false;
  std::map<int, int> renumber;
  std::vector<std::pair<std::string, std::string>> applications;
  std::string user;
  std::string registry;
  bool replace = false;
  bool dry_run = false;
  bool yes = false;
  bool json = false;
};

// SRC:N as the diff reads a store profile; anything else is no source.
Side SourceOf(const std::string& typed) {
  const Side side = kestrel::diff::ParseSide(CommandEnv(), typed);
  if (side.kind != Side::Kind::StoreProfile || side.profile < 1 || side.profile > kMaxProfileNumber)
    throw CLI::ValidationError("SRC:N", fmt::format("{} names no profile of a store (STORE:NUMBER, the number 1 to {})",
                                                     typed, kMaxProfileNumber));
  return side;
}

void DeclarePromoteOptions(CLI::App& sub, PromoteOptions& o) {
  sub.add_option("SRC:N", o.source, "the profile N of the store SRC (a location or a store's name)")->required();
  sub.add_option("DST", o.destination, "the store to promote it into (a location or a store's name)")->required();
  sub.add_flag("--single", o.single, "the profile alone with its base profiles' rules folded in, not its chain");
  sub.add_flag("--revisions", o.revisions, "with the revision information");
  AddRenumberOption(sub, o.renumber);
  AddApplicationsOption(sub, o.applications);
  sub.add_option("--user", o.user, "user recorded as the last to change the rules (default: login name)");
  AddRegistryOption(sub, o.registry);
  sub.add_flag("--replace", o.replace, "allow it to replace the profiles and applications DST holds");
  sub.add_flag("--dry-run", o.dry_run, "run it all, then roll the import back: DST is unchanged");
  sub.add_flag("-y,--yes", o.yes, "promote without asking (needed where no terminal can ask)");
  AddJsonFlag(sub, o.json, "print the summary and the import as JSON: {\"source\", \"profile\", \"destination\", "
                           "\"summary\": {...}, \"import\": {...}}");
  AddWaitOption(sub);
  sub.footer(
      "Exports profile N of SRC (with its chain of base profiles unless --single) into a private temporary folder, "
      "counts what importing it would change in DST, asks on the terminal naming what it replaces (without --yes, "
      "and refused with 9186 when stdin is not one; a dry run asks nothing), and imports it as `import` does: "
      "checked first, in one transaction. The folder is removed however the command ends. SRC and DST may be "
      "files or servers, by location or by name; one store on both sides is refused (9200).");
  sub.final_callback([&o] { SourceOf(o.source); });
}

int RunPromote(const PromoteOptions& o) {
  const Side typed = SourceOf(o.source);
  kestrel::Store source = OpenStore(typed.location);
  kestrel::Store destination = OpenStore(o.destination);
  kestrel::PromoteRequest request;
  request.profile = static_cast<int>(typed.profile);
  request.single_profile = o.single;
  request.revisions = o.revisions;
  request.import.user = o.user;
  request.import.replace = o.replace ? kestrel::ReplacePolicy::Replace : kestrel::ReplacePolicy::Refuse;
  request.import.dry_run = o.dry_run;
  // The numbers and applications typed become targets as for any pack imported.
  request.prepare = [&](const std::string& pack, kestrel::ImportRequest& import) {
    PackOptions given;
    given.pack = pack;
    given.renumber = o.renumber;
    given.applications = o.applications;
    given.registry = o.registry;
    kestrel::ImportRequest made;
    try {
      made = RequestOf(given, destination);
    } catch (const kestrel::Error& e) {
      // The private folder is gone by the time the error is read: name the profile.
      kestrel::Place place = e.place();
      if (place.path == pack) place.path = o.source;
      throw kestrel::Error(e.number(), e.description(), std::move(place));
    }
    made.user = import.user;
    made.replace = import.replace;
    made.dry_run = import.dry_run;
    import = std::move(made);
  };
  // The sides as the user named them, not the private folder.
  const auto named = [&](kestrel::diff::Result r) {
    r.a = {Side::Kind::Store, o.destination, 0};
    r.b = {Side::Kind::StoreProfile, typed.location, typed.profile};
    return r;
  };
  // Until the import begins a signal ends the command at once, the private
  // folder removed first; from then on it rolls the import back.
  RemovePrivateFoldersOnSignals();
  std::atomic<bool> stop{false};
  std::optional<SignalInterruption> stop_on_signals;
  request.confirm = [&](const kestrel::PromotePlan& plan) {
    EndProgress();
    if (!o.json && plan.summary) {
      kestrel::present::DiffTextOptions shown;
      shown.mode = kestrel::present::DiffTextOptions::Mode::Stat;
      shown.shown = [](std::string_view text) { return ForStdout(text); };
      kestrel::present::WriteDiffText(std::cout, named(*plan.summary), shown);
    }
    if (!o.dry_run)
      RequireConsent(o.yes, [&] {
        const std::string replaced = fmt::format("{}", fmt::join(plan.replaces, ", "));
        return fmt::format("Promote profile {} of {} into {}, replacing {}?", typed.profile, source.ShownLocation(),
                           destination.ShownLocation(), replaced.empty() ? "nothing" : ForStdout(replaced));
      });
    stop_on_signals.emplace(&stop);
  };
  const kestrel::PromoteReport report = kestrel::Promote(source, destination, request, CommandContext(&stop));
  stop_on_signals.reset();
  EndProgress();
  if (o.json) {
    Json j{{"source", JsonText(source.ShownLocation())},
           {"profile", typed.profile},
           {"destination", JsonText(destination.ShownLocation())}};
    j["summary"] = report.plan.summary ? kestrel::present::DiffJson(named(*report.plan.summary), false, 0) : Json();
    j["import"] = kestrel::present::ImportSummaryJson(report.imported);
    PrintJson(std::cout, j);
  } else {
    PrintImportSummary(std::cout, report.imported);
  }
  return 0;
}

const Registration kPromote{"promote", "move a profile from one store into another in one step, nothing left behind",
                            DeclarePromoteOptions, RunPromote};

}  // namespace
}  // namespace kestrel::cli
