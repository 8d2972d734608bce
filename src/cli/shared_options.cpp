// The declarations of the options several commands share.
#include "shared_options.h"

#include "command.h"
#include "selection_view.h"

namespace kestrel::cli {

void AddStoreOption(CLI::App& sub, std::string& store, const std::string& description) {
  CLI::Option* option =
      sub.add_option("--store", store, description + " (default: $" + std::string(kStoreVariable) + ")");
  // The variable is read only for the command that runs, and through the
  // Env, as every variable is; an explicit --store wins.
  sub.parse_complete_callback([option, &store] {
    if (option->count() > 0) return;
    store = CommandEnv().Variable(std::string(kStoreVariable));
    if (store.empty()) throw CLI::RequiredError("--store (or $" + std::string(kStoreVariable) + ")");
  });
}

void AddNewStoreArgument(CLI::App& sub, std::string& store) {
  sub.add_option("STORE", store, "store file to create (must not exist)")->required();
}

void AddPackArgument(CLI::App& sub, std::string& pack) {
  sub.add_option("PACK", pack, "logic pack folder")->required();
}

void AddTargetOption(CLI::App& sub, std::vector<std::string>& targets) {
  sub.add_option("--target", targets,
                 "target entry for the pack's next profile, in the order `show` lists them: "
                 "NUMBER|SOURCE APP|TARGET APP|PARENT|SOURCE EXTN|TARGET EXTN (default: the proposal of `show`)")
      ->check(CLI::Validator([](std::string& entry) { return TargetEntryProblem(entry); }, "ENTRY", "target entry"));
}

void AddRegistryOption(CLI::App& sub, std::string& registry) {
  AddRegistryOption(sub, registry,
                    "registry file that names the installation folder (default: $KESTREL_REGISTRY, else "
                    "~/.config/kestrel/registry.ini when present, else /etc/kestrel/registry.ini)");
}

void AddRegistryOption(CLI::App& sub, std::string& registry, const std::string& description) {
  sub.add_option("--registry", registry, description);
}

void AddDetailsFormatFlags(CLI::App& sub, DetailsFormat& format, const std::string& raw_description,
                           const std::string& json_description) {
  CLI::Option* raw = sub.add_flag("--raw", format.raw, raw_description);
  sub.add_flag("--json", format.json, json_description)->excludes(raw);
}

}  // namespace kestrel::cli
