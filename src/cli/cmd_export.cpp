// `kestrel export`: writes the logic pack of one profile of a store, as a
// single profile or with its chain of base profiles, and prints the pack folder;
// with --archive, writes the pack as one archive file (or to stdout) instead.
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "command.h"
#include "output.h"
#include "shared_options.h"
#include "kestrel/engine.h"
#include "kestrel/pack_archive.h"

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
  std::optional<std::string> archive;  // "-": stdout
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
  // An archive is made of a pack written into a private folder first, which
  // goes when the archive is written, the export fails or a signal ends it.
  std::optional<kestrel::PrivateFolder> private_root;
  if (o.archive) {
    kestrel::CheckPackArchiveTarget(*o.archive, o.overwrite);
    RemovePrivateFoldersOnSignals();
    private_root.emplace(CommandEnv(), "kestrel-export");
    request.root = private_root->path();
    request.overwrite = false;
  }
  const kestrel::ExportReport report = kestrel::Export(store, request, CommandContext());
  EndProgress();
  if (o.archive) {
    Detail("writing pack archive " + *o.archive);
    kestrel::WritePackArchive(CommandEnv(), report.folder, *o.archive, o.overwrite);
    if (*o.archive == "-") return 0;
  }
  const std::string written = o.archive.value_or(report.folder);
  if (o.json)
    // The names `ls --json` gives the same facts of the pack (docs/json.md).
    PrintJson(std::cout, Json{{"pack", written},
                              {"archive", o.archive.has_value()},
                              {"profile", *o.profile},
                              {"single_profile", o.single},
                              {"new_profile_number", o.new_number.value_or(0)},
                              {"revisions", report.revisions},
                              {"for_sync", o.sync}});
  else
    std::cout << written << '\n';
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
  sub.add_flag("--overwrite", o.overwrite, "replace an existing pack or archive file (in one step)");
  AddJsonFlag(sub, o.json, "print the pack folder or archive file and the options it was written with as JSON");
  sub.add_option("-o,--archive", o.archive,
                 "write the pack as one archive FILE instead of a folder (POSIX tar, zstd-compressed when FILE ends "
                 "in .zst; - for standard output) and print FILE")
      ->type_name("FILE")
      ->excludes(sub.get_option("--root"))
      ->check(CLI::Validator(
          [](const std::string& file) { return file.empty() ? std::string("an empty file name") : std::string(); },
          "FILE", "archive file"));
  // The archive on standard output leaves no room there for JSON.
  sub.final_callback([&o] {
    if (o.json && o.archive == "-")
      throw CLI::ValidationError("--archive", "- (standard output) leaves no room for --json");
  });
}

const Registration kExport{"export", "write the logic pack of a profile (with its base profiles unless --single)",
                           DeclareExportOptions, RunExport};

}  // namespace
}  // namespace kestrel::cli
