// kestrel load-functions: adds the shared function definitions of a logic pack
// (Qzmap150.dat) to a profile store, all or none; functions the store holds
// already stay.
#include <cstdint>
#include <string>

#include "command.h"
#include "import_object.h"
#include "lock_wait.h"
#include "signal_interruption.h"
#include "shared_options.h"

namespace kestrel::cli {
namespace {

struct LoadFunctionsOptions {
  std::string pack;
  std::string store;
  std::string registry;
  bool no_sums = false;
};

void DeclareLoadFunctionsOptions(CLI::App& sub, LoadFunctionsOptions& o) {
  AddPackArgument(sub, o.pack);
  AddStoreOption(sub, o.store);
  AddRegistryOption(sub, o.registry);
  AddNoSumsFlag(sub, o.no_sums);
}

int RunLoadFunctions(const LoadFunctionsOptions& o) {
  return WithImportObject(o.registry, [&](Kestrel20ImpExp::clsImport& import) {
    OpenPack(import, o.store, o.pack, o.no_sums);
    import.SetProgress([](const std::string& what, int64_t done, int64_t total) { ShowProgress(what, done, total); });
    UseLockWait(import);
    bool loaded = false;
    {
      SignalInterruption stop_on_signals;
      loaded = import.LoadToMAP150();
    }
    EndProgress();
    if (!loaded) return Fail(import.get_ErrorNumber(), import.get_ErrorDescription());
    return 0;
  });
}

const Registration kLoadFunctions{"load-functions",
                                  "add the shared functions of a logic pack that the store does not hold yet",
                                  DeclareLoadFunctionsOptions, RunLoadFunctions};

}  // namespace
}  // namespace kestrel::cli
