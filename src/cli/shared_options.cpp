// The declarations of the options several commands share.
#include "shared_options.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <system_error>

#include "command.h"
#include "lock_wait.h"
#include "present/targets.h"
#include "usage.h"

namespace kestrel::cli {

namespace {

// --store, with a positional alternative when `positional` is given; without
// either, the store $KESTREL_STORE names, and without that a usage error.
void AddStore(CLI::App& sub, std::string& store, const std::string& description, CLI::Option* positional) {
  CLI::Option* option =
      sub.add_option("--store", store,
                     description + ": a file, a postgresql:// URI or a name `kestrel stores` lists (default: $" +
                         std::string(kStoreVariable) + ")")
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

// What the options that choose the targets mean, said once below each
// command's options (the option's own line stays short).
constexpr const char* kTargetsFooter =
    "Choosing the targets (without any: the proposal of `show`): --renumber OLD=NEW gives the pack's profile OLD "
    "the number NEW, and its children the new parent; --apps SRC:TGT imports the profiles for other applications; "
    "--target NUMBER, for a pack of one profile, is the number it gets. For scripts, --target ENTRY once per pack "
    "profile, in the order `show` lists them, as six fields NUMBER|SOURCE APP|TARGET APP|PARENT|SOURCE EXTN|TARGET "
    "EXTN: PARENT is 0 for a root; SOURCE EXTN and TARGET EXTN are the extn of each application as its definition "
    "(qzddi100) holds it, 0 for a base and 1 for an extension application; a derived profile's applications must "
    "have the extn of its parent's (else error 503); left empty they are the pack's.";

void AddTargetOption(CLI::App& sub, TargetEntries& targets) {
  sub.add_option_function<std::vector<std::string>>(
         "--target",
         [&targets](const std::vector<std::string>& entries) {
           for (const std::string& entry : entries) {
             if (!entry.empty() && entry.find_first_not_of("0123456789") == std::string::npos) {
               std::string text = entry;
               if (std::string problem = ProfileNumberCheck(1)(text); !problem.empty())
                 throw CLI::ValidationError("--target", problem);
               targets.bare_number = std::stoi(entry);
             } else {
               std::string problem;
               const std::optional<kestrel::Target> target = kestrel::present::TargetOfEntry(entry, problem);
               if (!target) throw CLI::ValidationError("--target", problem + " (or a bare profile number)");
               targets.entries.push_back(*target);
             }
           }
           if (targets.bare_number && entries.size() > 1)
             throw CLI::ValidationError("--target", "a bare profile number is the only --target (the new number of "
                                                    "a pack's one profile); --renumber OLD=NEW renumbers any profile");
         },
         "the target of the pack's next profile: NUMBER|SOURCE APP|TARGET APP|PARENT|SOURCE EXTN|TARGET EXTN (see "
         "below); or, for a pack of one profile, the bare NUMBER it gets")
      ->type_name("ENTRY");
  sub.footer(kTargetsFooter);
}

CLI::Option* AddRenumberOption(CLI::App& sub, std::map<int, int>& renumber) {
  return sub
      .add_option_function<std::vector<std::string>>(
          "--renumber",
          [&renumber](const std::vector<std::string>& pairs) {
            for (const std::string& pair : pairs) {
              const size_t eq = pair.find('=');
              std::string old_number = pair.substr(0, eq), new_number = eq == std::string::npos ? "" : pair.substr(eq + 1);
              if (eq == std::string::npos || old_number.empty() || new_number.empty())
                throw CLI::ValidationError("--renumber", pair + " is not OLD=NEW (two profile numbers)");
              for (std::string* number : {&old_number, &new_number})
                if (std::string problem = ProfileNumberCheck(1)(*number); !problem.empty())
                  throw CLI::ValidationError("--renumber", pair + ": " + problem);
              if (!renumber.emplace(std::stoi(old_number), std::stoi(new_number)).second)
                throw CLI::ValidationError("--renumber", "profile " + old_number + " is renumbered twice");
            }
          },
          "give the pack's profile OLD the number NEW in the store (its children's parent follows); repeat it, "
          "or give a comma list, for more profiles")
      ->type_name("OLD=NEW")
      ->delimiter(',');
}

CLI::Option* AddApplicationsOption(CLI::App& sub, std::vector<std::pair<std::string, std::string>>& pairs) {
  return sub
      .add_option_function<std::vector<std::string>>(
          "--apps",
          [&pairs](const std::vector<std::string>& given) {
            for (const std::string& pair : given) {
              const size_t colon = pair.find(':');
              const std::string source = pair.substr(0, colon),
                                target = colon == std::string::npos ? "" : pair.substr(colon + 1);
              auto unusable = [](const std::string& code) {
                return code.empty() || std::any_of(code.begin(), code.end(), [](char c) {
                         return c == '|' || c == '*' || static_cast<unsigned char>(c) < 0x20;
                       });
              };
              if (colon == std::string::npos || unusable(source) || unusable(target))
                throw CLI::ValidationError("--apps", pair + " is not SRC:TGT (two application codes without \"|\", "
                                                            "\"*\" or control characters)");
              pairs.emplace_back(source, target);
            }
          },
          "import the pack's profiles for the source application SRC and the target application TGT: one pair for "
          "every profile, or one per profile in the order `show` lists them (repeated, or a comma list)")
      ->type_name("SRC:TGT")
      ->delimiter(',');
}

void AddRegistryOption(CLI::App& sub, std::string& registry) {
  AddRegistryOption(sub, registry,
                    "registry file that names the installation folder (default: $KESTREL_REGISTRY, else "
                    "~/.config/kestrel/registry.ini when present, else /etc/kestrel/registry.ini)");
}

void AddRegistryOption(CLI::App& sub, std::string& registry, const std::string& description) {
  sub.add_option("--registry", registry, description)->type_name("FILE");
}

CLI::Validator ProfileNumberCheck(int lowest) {
  return CLI::Validator(
      [lowest](std::string& text) -> std::string {
        int n = 0;
        const char* end = text.data() + text.size();
        const auto [stop, problem] = std::from_chars(text.data(), end, n);
        if (text.empty() || problem == std::errc::invalid_argument || stop != end) return TypedValue(text) + " is not a number";
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
