// `kestrel export`: writes the logic pack of one profile of a store, as a
// single profile or with its chain of base profiles, and prints the pack folder.
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "command.h"
#include "output.h"
#include "shared_options.h"
#include "kestrel/engine.h"

namespace kestrel::cli {
namespace {

struct ExportOptions {
  std::string store;
  std::optional<int> profile;
  std::optional<std::string> root;
  bool single = false;
  std::optional<int> new_number;
  bool revisions = false;
  bool sync = false;
  std::optional<int> based_on;
  bool traverse_parent = false;
  bool overwrite = false;
  bool json = false;
};

int RunExport(const ExportOptions& o) {
  kestrel::Store store = OpenStore(o.store);
  kestrel::ExportRequest request;
  request.profile = *o.profile;
  request.root = o.root.value_or("");
  request.single_profile = o.single;
  request.new_number = o.new_number.value_or(0);
  request.revisions = o.revisions;
  request.for_sync = o.sync;
  request.based_on = o.based_on.value_or(0);
  request.traverse_parent = o.traverse_parent;
  request.overwrite = o.overwrite;
  Detail(fmt::format("exporting profile {}", *o.profile));
  const kestrel::ExportReport report = kestrel::Export(store, request, CommandContext());
  EndProgress();
  if (o.json)
    // The names `ls --json` gives the same facts of the pack (docs/json.md).
    PrintJson(std::cout, Json{{"pack", report.folder},
                              {"profile", *o.profile},
                              {"single_profile", o.single},
                              {"new_profile_number", o.new_number.value_or(0)},
                              {"revisions", report.revisions},
                              {"for_sync", o.sync}});
  else
    std::cout << report.folder << '\n';
  return 0;
}

void DeclareExportOptions(CLI::App& sub, ExportOptions& o) {
  AddStoreOption(sub, o.store);
  AddProfileNumberOption(sub, "--profile", o.profile, "number of the profile to export");
  sub.get_option("--profile")->required();
  // An empty root would read as no root at all and export to the default
  // one unasked.
  sub.add_option("--root", o.root, "export root (default $KESTREL_EXPORT_ROOT, else $HOME/ImpExpMR)")
      ->type_name("DIR")
      ->check(CLI::Validator(
          [](const std::string& root) {
            return root.empty() ? std::string("an empty folder name (leave --root out for the default root)")
                                : std::string();
          },
          "DIR", "folder"));
  CLI::Option* single = sub.add_flag("--single", o.single, "fold the base profiles' rules into this profile alone");
  AddProfileNumberOption(sub, "--new-number", o.new_number, "profile number the pack announces");
  sub.get_option("--new-number")->needs(single);
  sub.add_flag("--revisions", o.revisions, "export the revision information");
  sub.add_flag("--sync", o.sync, "write the pack for synchronisation");
  AddProfileNumberOption(sub, "--based-on", o.based_on, "leave out the base profiles numbered up to this");
  sub.add_flag("--traverse-parent", o.traverse_parent,
               "take an object's rules and functions from the nearest base profile")
      ->needs(single);
  sub.add_flag("--overwrite", o.overwrite, "replace an existing pack (in one step)");
  AddJsonFlag(sub, o.json, "print the pack folder and the options it was written with as JSON");
}

const Registration kExport{"export", "write the logic pack of a profile (with its base profiles unless --single)",
                           DeclareExportOptions, RunExport};

}  // namespace
}  // namespace kestrel::cli
