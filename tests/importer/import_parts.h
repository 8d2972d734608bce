// The options, context and results a clsImport holds, kept together for the
// tests that call the import's steps themselves and hand each step the parts
// it takes.
#pragma once

#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "importer/planned_pack.h"

namespace kestrel::testing {

struct ImportParts {
  importer::ImportOptions o;
  importer::ImportContext cx;
  importer::ImportResults r;

  importer::PlannedPack Planned() const { return importer::PlannedPackOf(o, r); }
};

}  // namespace kestrel::testing
