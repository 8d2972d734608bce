// Creation of the two classes by ProgID.
#include "kestrel/create_object.h"

#include "base/error.h"
#include "base/text.h"

namespace Kestrel20ImpExp {
CreatedObject CreateObject(const std::string& progId, std::shared_ptr<kestrel::Registry> registry) {
  return CreateObject(kestrel::Env::Default(), progId, std::move(registry));
}

CreatedObject CreateObject(kestrel::Env& env, const std::string& progId, std::shared_ptr<kestrel::Registry> registry) {
  CreatedObject out;
  std::string id = kestrel::text::LowerAscii(progId);
  if (id == "kestrel20impexp.clsexport")
    out.Export = std::make_unique<clsExport>(env);
  else if (id == "kestrel20impexp.clsimport")
    out.Import = std::make_unique<clsImport>(env, registry ? std::move(registry) : kestrel::CreateRegistry(env));
  else
    kestrel::RaiseRuntime(kestrel::rt::CannotCreateObject);
  return out;
}

}  // namespace Kestrel20ImpExp
