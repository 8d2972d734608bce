// Entry points whose subsystems are not built yet. Each fails with a clear
// error until its implementation replaces the line here.
#include "component/errors_ours.h"
#include "import/entry_points.h"

namespace Kestrel20ImpExp::detail {

bool LoadToMAP150(ImportState&) { Raise(Ours::NotImplemented); }

}  // namespace Kestrel20ImpExp::detail
