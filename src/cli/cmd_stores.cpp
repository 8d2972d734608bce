// kestrel stores: the named stores the stores files give, with the file each
// came from; and how a command says which store a name stood for.
#include <iostream>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "command.h"
#include "output.h"
#include "shared_options.h"
#include "kestrel/named_stores.h"
#include "kestrel/store.h"

namespace kestrel::cli {

namespace {

using kestrel::store::NamedStore;
using kestrel::store::StoresFilePlace;

std::string PlaceText(const StoresFilePlace& p) { return fmt::format("{}, line {}", p.file, p.line); }

}  // namespace

std::string ResolveStore(const std::string& given) {
  const kestrel::store::ResolvedStore r = kestrel::store::ResolveStoreLocation(CommandEnv(), given);
  if (!r.named) return r.location;
  const std::string shown = kestrel::store::MaskedLocation(r.named->location);
  if (r.passed_over)
    Notice(fmt::format("note: store {} is the file or folder {} here, not the store named so in {} ({}); write "
                       "./{} for the file, or the location for the named store",
                       given, given, PlaceText(r.named->place), shown, given));
  else
    Detail(fmt::format("store {} is the named store of {}: {}", given, PlaceText(r.named->place), shown));
  return r.location;
}

namespace {

struct StoresOptions {
  bool json = false;
};

void DeclareStoresOptions(CLI::App& sub, StoresOptions& o) {
  AddJsonFlag(sub, o.json,
              "print the names as JSON: {\"files\": [FILE...], \"stores\": [{\"name\", \"location\", \"kind\", "
              "\"file\", \"line\", \"overrides\": [{\"file\", \"line\"}]}]}");
  sub.footer(fmt::format(
      "The stores files, first one first (a name the first defines wins over the same name in a later one): "
      "${}, this user's $XDG_CONFIG_HOME/kestrel/stores.ini (by default ~/.config/kestrel/stores.ini), {}. "
      "Each line is NAME = LOCATION (a name of letters, digits, - and _; an absolute path, ~/PATH, or a "
      "postgresql:// URI or key=value pairs), a comment starting with # or ;, or blank. Every --store, "
      "$KESTREL_STORE and the STORE of diff's STORE:PROFILE take a name; a file or folder of the same name "
      "wins over it, with a note on stderr. Passwords show as ***.",
      kestrel::store::kStoresFileVariable, kestrel::store::kSystemStoresFile));
}

std::string_view KindOf(const NamedStore& s) {
  return kestrel::store::IsServerLocation(s.location) ? "postgresql" : "sqlite";
}

int RunStores(const StoresOptions& o) {
  const std::vector<NamedStore> stores = kestrel::store::NamedStores(CommandEnv());
  const std::vector<std::string> files = kestrel::store::StoresFiles(CommandEnv());
  if (o.json) {
    Json list = Json::array();
    for (const NamedStore& s : stores) {
      Json overrides = Json::array();
      for (const StoresFilePlace& p : s.overrides) overrides.push_back({{"file", JsonText(p.file)}, {"line", p.line}});
      list.push_back({{"name", s.name},
                      {"location", JsonText(kestrel::store::MaskedLocation(s.location))},
                      {"kind", KindOf(s)},
                      {"file", JsonText(s.place.file)},
                      {"line", s.place.line},
                      {"overrides", std::move(overrides)}});
    }
    Json read = Json::array();
    for (const std::string& f : files) read.push_back(JsonText(f));
    PrintJson(std::cout, Json{{"files", std::move(read)}, {"stores", std::move(list)}});
    return 0;
  }
  if (stores.empty()) {
    Notice("no named stores; the stores files are " + fmt::format("{}", fmt::join(files, ", ")));
    return 0;
  }
  std::vector<std::vector<std::string>> rows{{"Name", "Location", "From"}};
  for (const NamedStore& s : stores)
    rows.push_back({s.name, ForStdout(kestrel::store::MaskedLocation(s.location)), ForStdout(PlaceText(s.place))});
  PrintTable(std::cout, rows);
  for (const NamedStore& s : stores)
    for (const StoresFilePlace& p : s.overrides) Detail(fmt::format("{} of {} is overridden", s.name, PlaceText(p)));
  return 0;
}

const Registration kStores{"stores", "list the named stores that stand for store locations, and the file of each",
                           DeclareStoresOptions, RunStores};

}  // namespace
}  // namespace kestrel::cli
