// The options, context and results a Kestrel20ImpExp::clsImport holds, kept together for the
// tests that call the import's steps themselves and hand each step the parts
// it takes.
#pragma once

#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "importer/planned_pack.h"

namespace kestrel::testing {

struct ImportParts {
  ImportOptions o;
  ImportContext cx;
  ImportResults r;

  PlannedPack Planned() const { return PlannedPackOf(o, r); }
};

}  // namespace kestrel::testing
