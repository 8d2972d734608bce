// Creation by ProgID, as hosts create the two classes.
#pragma once

#include <memory>
#include <string>

#include "kestrel/cls_export.h"
#include "kestrel/cls_import.h"
#include "kestrel/export.h"

namespace Kestrel20ImpExp {

// One of the two is set. "Kestrel20ImpExp.clsExport" and
// "Kestrel20ImpExp.clsImport" (without regard to case) are known; anything else
// raises 429 "ActiveX component can't create object". A failed installation
// lookup raises the lookup's 505. clsImport reads the machine's registry
// unless `registry` is given (tests pass their own).
struct CreatedObject {
  std::unique_ptr<clsExport> Export;
  std::unique_ptr<clsImport> Import;
};
// Hosts create them this way, on kestrel::Env::Default().
KESTREL_API CreatedObject CreateObject(const std::string& progId,
                                       std::shared_ptr<kestrel::Registry> registry = nullptr);
// The objects reach the system, the registry file included, through `env`,
// which must outlive them.
KESTREL_API CreatedObject CreateObject(kestrel::Env& env, const std::string& progId,
                                       std::shared_ptr<kestrel::Registry> registry = nullptr);

}  // namespace Kestrel20ImpExp
