// The heads of the component's traps. Their spellings differ from family to
// family (the blank before the colon, the blank after the procedure's
// name), and hosts match on them, so each is kept as it was.
#include "pack/component_text.h"

#include <fmt/format.h>

namespace kestrel::pack {

std::string ComponentDescription(const Error& e) {
  const Error* caught = e.caught();
  if (!caught) return e.description();
  const std::string inner = ComponentDescription(*caught);
  const std::string& p = e.procedure();
  const int32_t n = caught->number();
  switch (e.head()) {
    case TrapHead::Export: return fmt::format("UnSpecified Error: --{}-- {}   {}", p, n, inner);
    case TrapHead::ExportWriter: return fmt::format("UnSpecified Error: --{}--{}   {}", p, n, inner);
    case TrapHead::ExportObject: return fmt::format("UnSpecified Error : --{}-- {}   {}", p, n, inner);
    case TrapHead::Import: return fmt::format("Unspecified Error : --{}-- {}   {}", p, n, inner);
    case TrapHead::ImportTransaction: return fmt::format("UnSpecified Error : --{}--{}   {}", p, n, inner);
    case TrapHead::Unexpected: return fmt::format("Unexpected Error.Error Number: {}Description: {}", n, inner);
  }
  return inner;
}

}  // namespace kestrel::pack
