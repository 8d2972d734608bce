// Promote: Export into a private folder, then Import from it, with the
// refusals and the question of a face in between.
#include "kestrel/promote.h"

#include <memory>

#include <fmt/format.h>

#include "base/errors_ours.h"
#include "engine/selection_targets.h"
#include "kestrel/pack_archive.h"
#include "kestrel/profile_edits.h"
#include "store/open.h"

namespace kestrel {

PromoteReport Promote(Store& source, Store& destination, const PromoteRequest& request, const Context& context) {
  // An import into the store it was exported from would replace the profile
  // by itself at best, and with --renumber fill the store with copies.
  if (store::SameStore(*source.Connection(), *destination.Connection()))
    RaiseWithDetail(Ours::PromoteIntoItself,
                    fmt::format("{} and {}", source.ShownLocation(), destination.ShownLocation()));
  store::RequireStoredProfile(*source.Connection(), request.profile);

  PromoteReport report;
  PrivateFolder root(context.Environment(), "kestrel-promote");
  ExportRequest exported;
  exported.profile = request.profile;
  exported.root = root.path();
  exported.single_profile = request.single_profile;
  exported.revisions = request.revisions;
  report.exported = Export(source, exported, context);
  if (context.StopRequested()) Raise(Ours::ImportInterrupted);

  ImportRequest import = request.import;
  import.pack = report.exported.folder;
  if (request.prepare) request.prepare(import.pack, import);
  // The private folder is gone once the promotion ends; the history names
  // where the profile came from.
  import.recorded_as = fmt::format("promote {}:{}", source.ShownLocation(), request.profile);
  // Counted first, so that the files are old enough for their stamps to
  // vouch for them (pack/sums.h): the pack, ours and unchanged from here to
  // the import, is then checked against its sums once, for the plan.
  if (request.summary) {
    diff::Options counting;
    counting.counts_only = true;
    counting.lock_wait_seconds = import.wait_seconds;
    for (const auto& [from, to] : import.renumber) counting.renumber[from] = to;
    report.plan.summary = Diff({diff::Side::Kind::Pack, import.pack, 0},
                               {diff::Side::Kind::Store, destination.Location(), 0}, counting, context);
  }
  const auto sums = std::make_shared<pack::VerifiedSums>();
  engine::ImportPlan planned = engine::PlanImport(destination, import, context, sums);
  if (planned.verdict.refusal) throw std::move(*planned.verdict.refusal);
  report.plan.targets = std::move(planned.targets);
  report.plan.replaces = WouldReplace(report.plan.targets);
  // Refused before the question, not after the answer.
  engine::RefuseReplaceWithoutConsent(import, report.plan.targets);
  if (request.confirm) request.confirm(report.plan);
  report.imported = engine::ImportPack(destination, import, context, sums);
  return report;
}

}  // namespace kestrel
