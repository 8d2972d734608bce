// The options of the pack commands, and the request they make.
#include "pack_request.h"

#include "command.h"
#include "lock_wait.h"
#include "output.h"
#include "shared_options.h"
#include "kestrel/pack_facts.h"

namespace kestrel::cli {

void DeclarePackOptions(CLI::App& sub, PackOptions& o, const std::string& store_description, bool with_targets) {
  AddPackArgument(sub, o.pack);
  AddStoreOption(sub, o.store, store_description);
  if (with_targets) AddTargetOption(sub, o.targets);
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

kestrel::ImportRequest RequestOf(const PackOptions& o) {
  SayHowThePackIsRead(o.pack, o.no_sums);
  kestrel::ImportRequest request;
  request.pack = o.pack;
  request.targets = o.targets;
  request.allow_without_sums = o.no_sums;
  request.wait_seconds = LockWaitSeconds();
  request.registry = o.registry;
  return request;
}

kestrel::PackReader ReaderOf(const PackOptions& o) {
  kestrel::PackReadOptions read;
  read.allow_without_sums = o.no_sums;
  return kestrel::PackReader(o.pack, read, CommandContext());
}

}  // namespace kestrel::cli
