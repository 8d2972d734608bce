// PackReader: a pack's manifest, profiles and files as inspect reads them,
// with each profile's place in the pack's hierarchy and its applications'
// extn; and the proposal an import starts from.
#include "kestrel/engine.h"

#include <map>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "engine/selection_targets.h"
#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/pack_details.h"
#include "importer/plan_lookups.h"
#include "importer/selection.h"
#include "pack/sums.h"

namespace kestrel {
namespace {

struct Chain {
  int parent = 0;
  int depth = 0;
};

// Each profile's parent (the last field of its level-2 record) and depth
// (its highest level) in the pack's "Qzmap101.dat"; none when the pack has
// no such file.
std::map<int64_t, Chain> PackChains(Env& env, const std::string& folder) {
  std::map<int64_t, Chain> chains;
  try {
    auto rows = files::RowReader::Open(env, files::PathInFolder(env, folder, "Qzmap101.dat"));
    while (rows->Next()) {
      const auto& f = rows->fields();
      if (f.size() != importer::kChainFieldCount) continue;  // the inspection names a malformed file
      const int64_t level = importer::NumericValue(f[1]);
      Chain& chain = chains[importer::NumericValue(f[0])];
      if (level == 2) chain.parent = static_cast<int>(importer::NumericValue(f[5]));
      if (level > chain.depth) chain.depth = static_cast<int>(level);
    }
  } catch (const ComError&) {
    // A chain file that cannot be read leaves what was read; its problem is the file's.
  }
  return chains;
}

// The extn an application's data in the pack carries, "" when the pack
// cannot say (its "qzddi100" file is missing or corrupt).
std::string PackExtn(Env& env, const std::string& folder, const std::string& application) {
  try {
    return std::to_string(importer::PackApplicationExtn(env, folder, application));
  } catch (const ComError&) {
    return "";
  }
}

}  // namespace

PackReader::PackReader(std::string folder, PackReadOptions options, Context context)
    : folder_(std::move(folder)), options_(options), context_(std::move(context)) {}

PackInfo PackReader::Info() const {
  Env& env = context_.Environment();
  // A folder or manifest that is not there is named by the inspection.
  if (env.FolderExists(folder_) && !pack::VerifySums(env, folder_) && !options_.allow_without_sums)
    RaiseWithDetail(Ours::PackWithoutSums, folder_);
  const inspect::PackContents contents = inspect::InspectPack(env, folder_);
  const std::map<int64_t, Chain> chains = PackChains(env, folder_);

  PackInfo info;
  info.folder = folder_;
  info.export_succeeded = contents.export_succeeded;
  info.revisions = contents.revisions;
  info.for_sync = contents.for_sync;
  info.new_profile_number = static_cast<int>(contents.new_profile_number);
  info.applications = contents.applications;
  for (const inspect::PackProfile& p : contents.profiles) {
    PackProfile& profile = info.profiles.emplace_back();
    profile.number = static_cast<int>(p.number);
    profile.source_application = p.source_application;
    profile.target_application = p.target_application;
    if (const auto chain = chains.find(p.number); chain != chains.end()) {
      profile.parent = chain->second.parent;
      profile.depth = chain->second.depth;
    }
    profile.vrc = Vrc{p.version, p.release, p.customer};
    profile.description = p.description;
    profile.source_extn = PackExtn(env, folder_, p.source_application);
    profile.target_extn = PackExtn(env, folder_, p.target_application);
  }
  info.files = contents.files;
  info.has_sums = contents.has_sums;
  info.missing_files = contents.missing_files;
  return info;
}

std::vector<Target> PackReader::Proposal(Store& store) const {
  importer::ImportContext cx(context_.Environment());
  cx.DataConnection = store.Connection();
  importer::ImportOptions o;
  o.Path = folder_;
  o.AllowPackWithoutSums = options_.allow_without_sums;
  return engine::ProposedTargets(o, cx).targets;
}

}  // namespace kestrel
