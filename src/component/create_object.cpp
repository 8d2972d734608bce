// Creation of the two classes by ProgID.
#include "component/create_object.h"

#include "component/error.h"

namespace Kestrel20ImpExp {
namespace {
std::string Lower(std::string s) {
  for (auto& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}
}  // namespace

CreatedObject CreateObject(const std::string& progId, std::shared_ptr<Registry> registry) {
  CreatedObject out;
  std::string id = Lower(progId);
  if (id == "kestrel20impexp.clsexport")
    out.Export = std::make_unique<clsExport>();
  else if (id == "kestrel20impexp.clsimport")
    out.Import = std::make_unique<clsImport>(registry ? std::move(registry) : CreateRegistry());
  else
    RaiseRuntime(rt::CannotCreateObject);
  return out;
}

}  // namespace Kestrel20ImpExp
