// Between the engine's typed targets and the importer's selection entries:
// the proposal of a pack as entries and targets, a target written as an
// entry, a marked entry read as a target, and what a marked selection would
// replace. Internal to the engine.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/selection.h"
#include "kestrel/engine.h"
#include "pack/sums.h"

namespace kestrel::engine {

struct Proposed {
  importer::SelectionLists lists;  // the pack's entries and the marked targets
  std::vector<Target> targets;     // the marked targets, read
};

// What the importer proposes for the pack at o.Path in cx's store; its
// refusal (a pack without sums, a missing file, a corrupt header) throws.
Proposed ProposedTargets(const importer::ImportOptions& o, const importer::ImportContext& cx);

// A marked entry as a target: the markers of its first four fields read into
// `stored` (a root's parent is never missing) and removed.
Target TargetOf(const importer::SelectionEntry& marked);
// A target as the entry the importer checks and imports.
importer::SelectionEntry EntryOf(const Target& target);

// Refuses with Ours::ReplaceNotConfirmed, naming what the store holds, an
// import of the marked targets that would delete stored profiles or
// applications when the request does not allow it; a dry run, rolled back
// anyway, needs no consent.
void RefuseReplaceWithoutConsent(const ImportRequest& request, const std::vector<Target>& marked);

// The verdict on a request's selection and its targets as that verification
// marks them (what the import would replace), from one reading of the pack.
struct ImportPlan {
  SelectionVerdict verdict;
  std::vector<Target> targets;
};
// Both take the record of the pack's check against its sums in `sums`
// (nullptr: none), and add theirs to it: the import after a plan of the same
// unchanged pack does not read its files for the check a second time.
ImportPlan PlanImport(Store& store, const ImportRequest& request, const Context& context,
                      const std::shared_ptr<pack::VerifiedSums>& sums);
// Import (kestrel/engine.h).
ImportReport ImportPack(Store& store, const ImportRequest& request, const Context& context,
                        const std::shared_ptr<pack::VerifiedSums>& sums);

}  // namespace kestrel::engine
