// What the commands that import a pack, or would (show, verify, check,
// import), take and hand the engine: the pack, the store, the targets (six
// fields each, a renumbering, applications by name), the registry file of
// the installation, and whether a pack without ExportMR.sums is taken.
#pragma once

#include <CLI/CLI.hpp>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "kestrel/engine.h"
#include "shared_options.h"

namespace kestrel::cli {

struct PackOptions {
  std::string pack;
  std::string store;
  TargetEntries targets;  // none: the proposal
  std::map<int, int> renumber;
  std::vector<std::pair<std::string, std::string>> applications;
  std::string registry;
  bool no_sums = false;
};

// PACK, --store (described as `store_description`), --target, --renumber,
// --apps (which excludes --target), --registry and --no-sums.
void DeclarePackOptions(CLI::App& sub, PackOptions& o, const std::string& store_description);

// With -v, "reading pack PACK"; with --no-sums and a pack that has no sums,
// the notice that it cannot be checked for changes (once).
void SayHowThePackIsRead(const std::string& pack, bool no_sums);

// The request the options make, for the engine's Targets, Verify, Check and
// Import: the six-field entries, else the proposal for `store` with the
// applications asked for; a bare --target number and --renumber as the
// request's renumbering, each old number one of the pack's profiles (its own
// number, or the number the pack announces for it), else 9121; a bare number
// for a pack of more profiles is 9122, applications that fit neither every
// profile nor each 9123. Application codes typed in UTF-8 under a UTF-8
// locale name the Latin-1 codes they stand for. Says how the pack is read.
kestrel::ImportRequest RequestOf(const PackOptions& o, kestrel::Store& store);

// The pack's reader, as the options ask for it.
kestrel::PackReader ReaderOf(const PackOptions& o);

}  // namespace kestrel::cli
