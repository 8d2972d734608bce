// What the commands that import a pack, or would (show, verify, check,
// import), take and hand the engine: the pack, the store, the targets, the
// registry file of the installation, and whether a pack without
// ExportMR.sums is taken.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "kestrel/engine.h"

namespace kestrel::cli {

struct PackOptions {
  std::string pack;
  std::string store;
  std::vector<kestrel::Target> targets;  // none: the proposal
  std::string registry;
  bool no_sums = false;
};

// PACK, --store (described as `store_description`), --target (unless
// `with_targets` is false), --registry and --no-sums.
void DeclarePackOptions(CLI::App& sub, PackOptions& o, const std::string& store_description, bool with_targets);

// With -v, "reading pack PACK"; with --no-sums and a pack that has no sums,
// the notice that it cannot be checked for changes (once).
void SayHowThePackIsRead(const std::string& pack, bool no_sums);

// The request the options make, for the engine's Verify, Check and Import;
// says how the pack is read.
kestrel::ImportRequest RequestOf(const PackOptions& o);

// The pack's reader, as the options ask for it.
kestrel::PackReader ReaderOf(const PackOptions& o);

}  // namespace kestrel::cli
