// kestrel load-functions: adds the shared function definitions of a logic pack
// (Qzmap150.dat) to a profile store, all or none; functions the store holds
// already stay. It says how many it added and how many the store held.
#include <cstdint>
#include <iostream>
#include <string>

#include <fmt/format.h>

#include "command.h"
#include "import_object.h"
#include "lock_wait.h"
#include "output.h"
#include "kestrel/store.h"
#include "signal_interruption.h"
#include "shared_options.h"

namespace kestrel::cli {
namespace {

// The pack's file of shared functions, and the table it is loaded into.
constexpr std::string_view kFunctionFile = "Qzmap150.dat";
constexpr std::string_view kFunctionTable = "qzmap150";

struct LoadFunctionsOptions {
  std::string pack;
  std::string store;
  std::string registry;
  bool no_sums = false;
  bool json = false;
};

void DeclareLoadFunctionsOptions(CLI::App& sub, LoadFunctionsOptions& o) {
  AddPackArgument(sub, o.pack);
  AddStoreOption(sub, o.store);
  AddRegistryOption(sub, o.registry);
  AddNoSumsFlag(sub, o.no_sums);
  AddJsonFlag(sub, o.json, "print what was loaded as JSON");
}

int RunLoadFunctions(const LoadFunctionsOptions& o) {
  return WithImportObject(o.registry, [&](Kestrel20ImpExp::clsImport& import) {
    OpenPack(import, o.store, o.pack, o.no_sums);
    // The loader reports the records it went through once, at its end.
    long long read = 0;
    import.SetProgress([&read](const std::string& what, int64_t done, int64_t total) {
      if (what == kFunctionTable) read = done;
      ShowProgress(what, done, total);
    });
    UseLockWait(import);
    bool loaded = false;
    {
      SignalInterruption stop_on_signals;
      loaded = import.LoadToMAP150();
    }
    EndProgress();
    const std::string file = o.pack + "/" + std::string(kFunctionFile);
    if (!loaded) {
      // Its one file is what a failure is about.
      kestrel::Place place;
      place.path = file;
      return Fail(import.Failure().WithPlace(place));
    }
    const auto rows = import.Summary().Rows.find(kFunctionTable);
    const long long added = rows == import.Summary().Rows.end() ? 0 : rows->second.added;
    const std::string store = kestrel::store::MaskedLocation(o.store);
    if (o.json) {
      PrintJson(std::cout, Json{{"pack", JsonText(o.pack)}, {"file", std::string(kFunctionFile)}, {"store", JsonText(store)},
                                {"functions", read}, {"added", added}, {"held_already", read - added}});
      return 0;
    }
    std::cout << fmt::format("{} of the {} shared functions of {} added to {}; {} the store held already stay as they are\n",
                             added, read, ForStdout(file), ForStdout(store), read - added);
    return 0;
  });
}

const Registration kLoadFunctions{"load-functions",
                                  "add the shared functions of a logic pack that the store does not hold yet",
                                  DeclareLoadFunctionsOptions, RunLoadFunctions};

}  // namespace
}  // namespace kestrel::cli
