// The declarations of the options several commands share.
#include "shared_options.h"

#include <fmt/format.h>

#include <charconv>
#include <system_error>

#include "command.h"
#include "lock_wait.h"
#include "present/targets.h"

namespace kestrel::cli {

namespace {

// --store, with a positional alternative when `positional` is given; without
// either, the store $KESTREL_STORE names, and without that a usage error.
void AddStore(CLI::App& sub, std::string& store, const std::string& description, CLI::Option* positional) {
  CLI::Option* option =
      sub.add_option("--store", store, description + " (default: $" + std::string(kStoreVariable) + ")")
          ->type_name("STORE");
  if (positional != nullptr) option->excludes(positional);
  // Whatever the command does with the store, it waits no longer than this
  // for another program's lock.
  AddWaitOption(sub);
  // The variable is read only for the command that runs, and through the
  // Env, as every variable is; an explicit store wins.
  sub.parse_complete_callback([option, positional, &store] {
    if (option->count() > 0 || (positional != nullptr && positional->count() > 0)) return;
    store = CommandEnv().Variable(std::string(kStoreVariable));
    if (store.empty()) throw CLI::RequiredError("--store (or $" + std::string(kStoreVariable) + ")");
  });
}

}  // namespace

void AddStoreOption(CLI::App& sub, std::string& store, const std::string& description) {
  AddStore(sub, store, description, nullptr);
}

void AddNewStoreArgument(CLI::App& sub, std::string& store) {
  const std::string description = "store to create (must not exist)";
  AddStore(sub, store, description, sub.add_option("STORE", store, description + "; the same as --store"));
}

void AddNoSumsFlag(CLI::App& sub, bool& no_sums) {
  sub.add_flag("--no-sums", no_sums,
               "take a pack without ExportMR.sums (written by an older export): its files cannot be checked for "
               "changes, so a pack cut short or mixed with another is not noticed");
}

void AddTargetOption(CLI::App& sub, std::vector<kestrel::Target>& targets) {
  sub.add_option_function<std::vector<std::string>>(
         "--target",
         [&targets](const std::vector<std::string>& entries) {
           for (const std::string& entry : entries) {
             std::string problem;
             const std::optional<kestrel::Target> target = kestrel::present::TargetOfEntry(entry, problem);
             if (!target) throw CLI::ValidationError("--target", problem);
             targets.push_back(*target);
           }
         },
         "target entry for the pack's next profile, in the order `show` lists them: "
         "NUMBER|SOURCE APP|TARGET APP|PARENT|SOURCE EXTN|TARGET EXTN (default: the proposal of `show`)")
      ->type_name("ENTRY");
}

void AddRegistryOption(CLI::App& sub, std::string& registry) {
  AddRegistryOption(sub, registry,
                    "registry file that names the installation folder (default: $KESTREL_REGISTRY, else "
                    "~/.config/kestrel/registry.ini when present, else /etc/kestrel/registry.ini)");
}

void AddRegistryOption(CLI::App& sub, std::string& registry, const std::string& description) {
  sub.add_option("--registry", registry, description);
}

CLI::Validator ProfileNumberCheck(int lowest) {
  return CLI::Validator(
      [lowest](std::string& text) -> std::string {
        int n = 0;
        const char* end = text.data() + text.size();
        const auto [stop, problem] = std::from_chars(text.data(), end, n);
        if (text.empty() || problem == std::errc::invalid_argument || stop != end) return text + " is not a number";
        if (problem != std::errc() || n < lowest || n > kMaxProfileNumber)
          return fmt::format("{} is not a profile number ({} to {})", text, lowest, kMaxProfileNumber);
        return "";
      },
      "", "profile number");
}

void AddProfileNumberOption(CLI::App& sub, const std::string& name, std::optional<int>& number,
                            const std::string& description) {
  sub.add_option(name, number, description)->check(ProfileNumberCheck(1))->type_name("NUMBER");
}

void AddJsonFlag(CLI::App& sub, bool& json, const std::string& description) { sub.add_flag("--json", json, description); }

void AddDetailsFormatFlags(CLI::App& sub, DetailsFormat& format, const std::string& raw_description,
                           const std::string& json_description) {
  CLI::Option* raw = sub.add_flag("--raw", format.raw, raw_description);
  sub.add_flag("--json", format.json, json_description)->excludes(raw);
}

}  // namespace kestrel::cli
