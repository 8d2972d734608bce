// The options, context and results a clsImport holds, kept together for the
// tests that call the import's steps themselves and hand each step the parts
// it takes, and the Env the context reaches the system through.
#pragma once

#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "importer/planned_pack.h"
#include "support/fault_env.h"

namespace kestrel::testing {

struct ImportParts {
  // The context's way to the system: tests fix its time and variables.
  FaultEnv env;
  importer::ImportOptions o;
  importer::ImportContext cx{env};
  importer::ImportResults r;

  importer::PlannedPack Planned() const { return importer::PlannedPackOf(o, r); }
};

}  // namespace kestrel::testing
