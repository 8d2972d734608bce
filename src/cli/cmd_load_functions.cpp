// kestrel load-functions: adds the shared function definitions of a logic pack
// (Qzmap150.dat) to a profile store; functions the store holds already stay.
#include <memory>
#include <string>

#include "cli/command.h"
#include "cli/import_object.h"
#include "store/open.h"

namespace kestrel::cli {
namespace {

namespace k = Kestrel20ImpExp;

Registration reg("load-functions", "add the shared functions of a logic pack that the store does not hold yet",
                 [](CLI::App& sub) {
                   auto pack = std::make_shared<std::string>();
                   auto store = std::make_shared<std::string>();
                   auto registry = std::make_shared<std::string>();
                   sub.add_option("PACK", *pack, "logic pack folder")->required();
                   sub.add_option("--store", *store, "profile store file")->required();
                   AddRegistryOption(sub, *registry);
                   return [pack, store, registry]() -> int {
                     return WithImportObject(*registry, [&](k::clsImport& import) {
                       import.putref_DataConnection(k::store::Open(*store));
                       import.put_Path(*pack);
                       import.SetProgress([](const std::string& what, int64_t done) { ShowProgress(what, done); });
                       if (!import.LoadToMAP150()) return Fail(import.get_ErrorNumber(), import.get_ErrorDescription());
                       return 0;
                     });
                   };
                 });

}  // namespace
}  // namespace kestrel::cli
