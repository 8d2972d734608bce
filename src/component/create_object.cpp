// Creation of the two classes by ProgID.
#include "component/create_object.h"

#include "component/error.h"
#include "component/text.h"

namespace Kestrel20ImpExp {
CreatedObject CreateObject(const std::string& progId, std::shared_ptr<Registry> registry) {
  CreatedObject out;
  std::string id = text::LowerAscii(progId);
  if (id == "kestrel20impexp.clsexport")
    out.Export = std::make_unique<clsExport>();
  else if (id == "kestrel20impexp.clsimport")
    out.Import = std::make_unique<clsImport>(registry ? std::move(registry) : CreateRegistry());
  else
    RaiseRuntime(rt::CannotCreateObject);
  return out;
}

}  // namespace Kestrel20ImpExp
