// `kestrel export`: writes the logic pack of one profile of a store, as a
// single profile or with its chain of base profiles, and prints the pack folder.
#include <cstdint>
#include <iostream>
#include <limits>
#include <optional>
#include <string>

#include "command.h"
#include "shared_options.h"
#include "kestrel/cls_export.h"
#include "kestrel/error.h"
#include "kestrel/store.h"

namespace kestrel::cli {
namespace {

struct ExportOptions {
  std::string store;
  long long profile = 0;
  std::optional<std::string> root;
  bool single = false;
  std::optional<long long> new_number;
  bool revisions = false;
  bool sync = false;
  std::optional<std::string> based_on;
  bool traverse_parent = false;
  bool overwrite = false;
};

// The properties carry profile numbers as 16-bit integers; a larger number
// overflows there, so it is refused before anything is opened or written.
std::optional<int16_t> AsProfileNumber(long long n) {
  if (n < std::numeric_limits<int16_t>::min() || n > std::numeric_limits<int16_t>::max()) return std::nullopt;
  return static_cast<int16_t>(n);
}

int FailOverflow(const std::string& option, long long n) {
  const int32_t overflow = kestrel::rt::Overflow;
  return Fail(overflow, std::string(kestrel::RuntimeErrorText(overflow)) + ": " + option + " " +
                            std::to_string(n) + " is not a 16-bit profile number");
}

int RunExport(const ExportOptions& o) {
  auto profile = AsProfileNumber(o.profile);
  if (!profile)
    return FailOverflow("--profile", o.profile);
  int16_t new_number = 0;
  if (o.new_number) {
    auto n = AsProfileNumber(*o.new_number);
    if (!n)
      return FailOverflow("--new-number", *o.new_number);
    new_number = *n;
  }

  auto connection = kestrel::store::Open(o.store);
  Kestrel20ImpExp::clsExport e(CommandEnv());
  e.putref_DataConnection(connection);
  e.put_MigrationProfileTobeExported(*profile);
  if (o.root) e.put_Path(*o.root);
  e.put_ExportToSingleProfile(o.single);
  e.put_NewProfileNumber(new_number);
  e.put_ExportRevisionInformation(o.revisions);
  e.put_ExportForSync(Kestrel20ImpExp::Variant(o.sync));
  if (o.based_on) e.put_ExportBasedOn(Kestrel20ImpExp::Variant(*o.based_on));
  e.put_traveseparent(o.traverse_parent);
  e.put_OverWrite(o.overwrite);
  if (ProgressWanted())
    e.SetProgress([](const std::string& what, int64_t done) { ShowProgress(what, done); });

  if (!e.ExportMigrationProfiles()) return Fail(e.get_ErrorNumber(), e.get_ErrorDescription());
  EndProgress();
  std::cout << e.PackFolder() << '\n';
  return 0;
}

void DeclareExportOptions(CLI::App& sub, ExportOptions& o) {
  AddStoreOption(sub, o.store);
  sub.add_option("--profile", o.profile, "number of the profile to export")->required();
  sub.add_option("--root", o.root, "export root (default $KESTREL_EXPORT_ROOT, else $HOME/ImpExpMR)");
  sub.add_flag("--single", o.single, "fold the base profiles' rules into this profile alone");
  sub.add_option("--new-number", o.new_number, "profile number the pack announces (with --single)");
  sub.add_flag("--revisions", o.revisions, "export the revision information");
  sub.add_flag("--sync", o.sync, "write the pack for synchronisation");
  sub.add_option("--based-on", o.based_on, "leave out the base profiles numbered up to this");
  sub.add_flag("--traverse-parent", o.traverse_parent,
               "take an object's rules and functions from the nearest base profile (with --single)");
  sub.add_flag("--overwrite", o.overwrite, "write again into an existing pack folder");
}

const Registration kExport{"export", "write the logic pack of a profile (with its base profiles unless --single)",
                           DeclareExportOptions, RunExport};

}  // namespace
}  // namespace kestrel::cli
