// The options, context and results a clsImport holds, kept together for the
// tests that call the import's steps themselves and hand each step the parts
// it takes.
#pragma once

#include "component/import_context.h"
#include "component/import_options.h"
#include "component/import_results.h"
#include "import/planned_pack.h"

namespace Kestrel20ImpExp::detail::testing {

struct ImportParts {
  ImportOptions o;
  ImportContext cx;
  ImportResults r;

  PlannedPack Planned() const { return PlannedPackOf(o, r); }
};

}  // namespace Kestrel20ImpExp::detail::testing
