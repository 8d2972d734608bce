// kestrel show: checks a logic pack and prints its profiles with the import
// that ShowLogicPackDetails proposes for them.
#include <iostream>
#include <memory>

#include "cli/command.h"
#include "cli/import_object.h"
#include "cli/selection_view.h"
#include "store/open.h"

namespace kestrel::cli {
namespace {

namespace k = Kestrel20ImpExp;

struct ShowOptions {
  std::string pack, store, registry;
  bool raw = false, json = false;
};

Registration reg("show", "check a logic pack and print its profiles with the proposed import", [](CLI::App& sub) {
  auto o = std::make_shared<ShowOptions>();
  sub.add_option("PACK", o->pack, "logic pack folder")->required();
  sub.add_option("--store", o->store, "profile store file the pack would be imported into")->required();
  auto* raw = sub.add_flag("--raw", o->raw, "write the exact details string (characters 1 and 13 included)");
  sub.add_flag("--json", o->json, "write the details as JSON for host programs")->excludes(raw);
  AddRegistryOption(sub, o->registry);
  return [o]() -> int {
    return WithImportObject(o->registry, [&](k::clsImport& import) {
      import.putref_DataConnection(k::store::Open(o->store));
      import.put_Path(o->pack);
      std::string details;
      if (!import.ShowLogicPackDetails(details))
        return Fail(import.get_ErrorNumber(), import.get_ErrorDescription());
      if (o->raw)
        std::cout << details;
      else if (o->json)
        PrintDetailsJson(std::cout, details, ParseDetails(details), false, true, {});
      else
        PrintDetailsTable(std::cout, ParseDetails(details));
      std::cout.flush();
      return 0;
    });
  };
});

}  // namespace
}  // namespace kestrel::cli
