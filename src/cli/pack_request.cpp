// The options of the pack commands, and the request they make.
#include "pack_request.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "command.h"
#include "lock_wait.h"
#include "output.h"
#include "pack_sources.h"
#include "kestrel/errors.h"
#include "kestrel/pack_facts.h"
#include "present/import_view.h"

namespace kestrel::cli {

void DeclarePackOptions(CLI::App& sub, PackOptions& o, const std::string& store_description) {
  AddPackArgument(sub, o.pack);
  AddStoreOption(sub, o.store, store_description);
  AddTargetOption(sub, o.targets);
  AddRenumberOption(sub, o.renumber);
  AddApplicationsOption(sub, o.applications)->excludes("--target");
  AddRegistryOption(sub, o.registry);
  AddNoSumsFlag(sub, o.no_sums);
}

void SayHowThePackIsRead(const std::string& pack, bool no_sums) {
  Detail("reading pack " + pack);
  // A pack taken without sums cannot be checked for changes: say so once.
  kestrel::Env& env = CommandEnv();
  if (no_sums && env.FolderExists(pack) && !env.FileExists(pack + "/" + std::string(kestrel::kPackSumsFile)))
    Notice(std::string(kestrel::kNoPackSumsNotice));
}

namespace {

[[noreturn]] void Refuse(kestrel::Ours code, const std::string& detail, const std::string& pack) {
  kestrel::Place place;
  place.path = pack;
  throw kestrel::Error(kestrel::Number(code), fmt::format("{}: {}", kestrel::DefaultText(code), detail), place);
}

std::string ProfilesOf(const std::vector<kestrel::PackProfile>& sources) {
  std::vector<int> numbers;
  for (const auto& s : sources) numbers.push_back(s.number);
  return fmt::format("{}", fmt::join(numbers, ", "));
}

// The renumbering the options ask for, keyed by the numbers the proposal
// gives the pack's profiles (a pack that announces a new number for its
// profile is renumbered by either number).
std::map<int, int> Renumbering(const PackOptions& o, const std::vector<kestrel::PackProfile>& sources,
                               const std::vector<kestrel::Target>& proposal) {
  std::map<int, int> renumber;
  if (o.targets.bare_number) {
    if (proposal.size() != 1)
      Refuse(kestrel::Ours::BareTargetNeedsOneProfile,
             fmt::format("--target {}: the pack holds profiles {}; --renumber OLD=NEW gives one of them a number",
                         *o.targets.bare_number, ProfilesOf(sources)),
             o.pack);
    renumber[proposal.front().profile] = *o.targets.bare_number;
  }
  for (const auto& [from, to] : o.renumber) {
    // Six-field entries may name numbers of their own: those are renumbered as given.
    bool known = std::any_of(o.targets.entries.begin(), o.targets.entries.end(),
                             [from = from](const kestrel::Target& t) { return t.profile == from || t.parent == from; });
    int key = from;
    for (size_t i = 0; i < sources.size() && i < proposal.size() && !known; ++i)
      if (sources[i].number == from || proposal[i].profile == from) key = proposal[i].profile, known = true;
    if (!known)
      Refuse(kestrel::Ours::RenumberedProfileNotInPack,
             fmt::format("--renumber {}={}: the pack holds profiles {}", from, to, ProfilesOf(sources)), o.pack);
    renumber[key] = to;
  }
  return renumber;
}

}  // namespace

kestrel::ImportRequest RequestOf(const PackOptions& o, kestrel::Store& store) {
  SayHowThePackIsRead(o.pack, o.no_sums);
  kestrel::ImportRequest request;
  request.pack = o.pack;
  request.recorded_as = ShownPack(o.pack);
  request.targets = o.targets.entries;
  request.allow_without_sums = o.no_sums;
  request.wait_seconds = LockWaitSeconds();
  request.registry = o.registry;
  if (o.targets.bare_number || !o.renumber.empty() || !o.applications.empty()) {
    const kestrel::PackReader reader = ReaderOf(o);
    const std::vector<kestrel::Target> proposal = reader.Proposal(store);
    const std::vector<kestrel::PackProfile> sources = kestrel::present::ImportSources(reader.Info(), store);
    request.renumber = Renumbering(o, sources, proposal);
    if (!o.applications.empty()) {
      if (o.applications.size() != 1 && o.applications.size() != proposal.size())
        Refuse(kestrel::Ours::ApplicationPairsMismatch,
               fmt::format("--apps names {} pairs; the pack holds {} profiles ({})", o.applications.size(),
                           proposal.size(), ProfilesOf(sources)),
               o.pack);
      request.targets = proposal;
      for (size_t i = 0; i < request.targets.size(); ++i) {
        const auto& [source, target] = o.applications[o.applications.size() == 1 ? 0 : i];
        request.targets[i].source_application = source;
        request.targets[i].target_application = target;
      }
    }
  }
  // Codes typed in the locale's UTF-8 name the stored Latin-1 codes.
  for (kestrel::Target& t : request.targets) {
    t.source_application = StoredFromTyped(t.source_application);
    t.target_application = StoredFromTyped(t.target_application);
  }
  return request;
}

kestrel::PackReader ReaderOf(const PackOptions& o) {
  kestrel::PackReadOptions read;
  read.allow_without_sums = o.no_sums;
  return kestrel::PackReader(o.pack, read, CommandContext());
}

}  // namespace kestrel::cli
