// A profile moved from one store into another in one call: exported from the
// source (read as one snapshot) into a private temporary folder, compared
// with the destination, and imported there as any pack is, checked first and
// in one transaction. The folder is removed however the call ends; nothing
// of the pack stays behind. Source and destination may be any two stores,
// files or servers, by location or by name.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kestrel/diff.h"
#include "kestrel/engine.h"

namespace kestrel {

// What the promotion will do, once the selection passed and before the
// destination changes.
struct PromotePlan {
  std::vector<Target> targets;        // as the import will take them, marked with what the destination holds
  std::vector<std::string> replaces;  // WouldReplace(targets)
  // The pack (side B) against the destination (side A), counted only: no
  // Change is kept. Absent when not asked for.
  std::optional<diff::Result> summary;
};

struct PromoteRequest {
  int profile = 0;              // in the source
  bool single_profile = false;  // the profile alone with its rules resolved, else with its chain
  bool revisions = false;       // with the revision information, when the profile keeps it
  // The import of the exported pack: Promote sets its pack; its targets,
  // renumbering, replace policy, dry run, wait, user and registry apply as
  // to any import.
  ImportRequest import{};
  // Completes `import` from the exported pack before anything else reads
  // it (a face turning the numbers and applications it was given into
  // targets, as it does for a pack it imports); empty: `import` as it is.
  std::function<void(const std::string& pack, ImportRequest& import)> prepare{};
  // Count what the import would change in the destination for the plan.
  bool summary = true;
  // Shown the plan before the import; a throw ends the promotion with the
  // destination as it was. Empty: go ahead.
  std::function<void(const PromotePlan& plan)> confirm{};
};

struct PromoteReport {
  ExportReport exported;  // its folder is gone when Promote returns
  PromotePlan plan;
  ImportReport imported;
};

// Refuses a source and destination that are one store, whatever their
// locations (Ours::PromoteIntoItself), and a profile the source does not hold
// (Ours::ProfileNotStored) before it exports; then refuses what the import
// would refuse (the selection, a replacement without ReplacePolicy::Replace
// outside a dry run) before it asks `confirm`. Context::stop set during the
// export stops it before the import (Ours::ImportInterrupted).
KESTREL_API PromoteReport Promote(Store& source, Store& destination, const PromoteRequest& request,
                                  const Context& context = {});

}  // namespace kestrel
