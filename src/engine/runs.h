// The engine's import with a hook of its caller's: what runs inside the
// import's transaction before its first delete (the record of the run, an
// undo's own changes). Internal to the engine.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "kestrel/engine.h"
#include "pack/sums.h"

namespace kestrel::engine {

// The name of the user running the program: the account's login name, else
// what the environment says.
std::string LoginName(Env& env);

// Import as kestrel::Import runs it, calling `before_change` (when set) with
// the report made so far (its targets marked) inside the import's write unit
// after the check's first part and before the first delete. What the hook
// raises fails the import, rolled back, as it was raised. `sums` as for
// ImportPack (selection_targets.h).
ImportReport ImportWith(Store& store, const ImportRequest& request, const Context& context,
                        const std::function<void(ImportReport&)>& before_change,
                        const std::shared_ptr<pack::VerifiedSums>& sums = nullptr);

}  // namespace kestrel::engine
