// `kestrel serve`: the import wizard in a browser on this machine (src/web/).
#include <iostream>
#include <optional>
#include <string>

#include "command.h"
#include "import_object.h"
#include "lock_wait.h"
#include "shared_options.h"
#include "kestrel/engine.h"
#include "web/server.h"

namespace kestrel::cli {
namespace {

struct ServeOptions {
  std::string store;
  std::optional<std::string> export_root;
  int port = 0;
  std::string bind = "127.0.0.1";
  std::string registry;
};

void DeclareServeOptions(CLI::App& sub, ServeOptions& o) {
  AddStoreOption(sub, o.store, "the profile store the wizard lists, exports from and imports into");
  sub.add_option("--export-root", o.export_root,
                 "where exports are written and packs are listed (default $KESTREL_EXPORT_ROOT, else $HOME/ImpExpMR)")
      ->type_name("DIR");
  sub.add_option("--port", o.port, "port to listen on (default 0: a free port)")
      ->check(CLI::Range(0, 65535))
      ->type_name("N");
  sub.add_option("--bind", o.bind, "address to listen on (default 127.0.0.1: this machine only)")->type_name("ADDR");
  AddRegistryOption(sub, o.registry);
  sub.footer(
      "Prints one line with the wizard's address, which carries a random access token; open it in a browser. "
      "Pages: the store's profiles and their tree, export of a profile, the packs below the export root, a pack's "
      "details with its target list to edit, verify, dry run, import with its progress, and the run log of the "
      "last import. The page sends the token in a header with each call: calls without it, from a page of "
      "another origin, or naming another host than the one served, are refused (403), calls that change "
      "something take JSON only (415); one import runs at a time (a second is refused with 409). SIGINT or SIGTERM stop the wizard; a running "
      "import is rolled back.");
}

int RunServe(const ServeOptions& o) {
  // The store and the installation are checked before the address is given.
  // A name is resolved once: the wizard keeps to that store while it serves,
  // whatever the stores files say later.
  const std::string store = ResolveStore(o.store);
  OpenStore(store);
  return WithImportObject(o.registry, [&](Kestrel20ImpExp::clsImport& import) {
    kestrel::web::ServeOptions serve;
    serve.wizard.store = store;
    serve.wizard.export_root = o.export_root.value_or(kestrel::DefaultExportRoot(CommandContext()));
    // The export writes below the root but does not make it; the wizard's
    // first export should not fail for want of it.
    if (!CommandEnv().FolderExists(serve.wizard.export_root)) CommandEnv().CreateFolder(serve.wizard.export_root);
    serve.wizard.registry = o.registry;
    serve.wizard.run_log = import.RunLogPath();
    serve.wizard.wait_seconds = LockWaitSeconds();
    serve.bind = o.bind;
    serve.port = o.port;
    kestrel::web::Serve(serve, std::cout);
    return 0;
  });
}

const Registration kServe{"serve", "serve the import wizard to a browser on this machine", DeclareServeOptions,
                          RunServe};

}  // namespace
}  // namespace kestrel::cli
