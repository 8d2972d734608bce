// The pack an import reads, as one read-only view: where it lies and what the
// host set, what its manifest announced, and the user's plan for it. The
// steps that read the pack's files take this view; what it refers to must
// outlive it and stay unchanged while a step runs.
// Internal to the import and its tests.
#pragma once

#include "importer/import_options.h"
#include "importer/import_results.h"

namespace kestrel::importer {

struct PlannedPack {
  const ImportOptions& options;
  const pack::ManifestOptions& manifest;
  const ImportPlan& plan;
};

inline PlannedPack PlannedPackOf(const ImportOptions& o, const ImportResults& r) {
  return PlannedPack{o, r.Manifest, r.Plan};
}

}  // namespace kestrel::importer
