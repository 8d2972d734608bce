// The export driver until its implementation replaces this file.
#include "component/errors_ours.h"
#include "export/export_driver.h"

namespace Kestrel20ImpExp::detail {

bool ExportMigrationProfiles(ExportState& s) {
  s.Error.Set(Number(Ours::NotImplemented), std::string(DefaultText(Ours::NotImplemented)));
  return false;
}

}  // namespace Kestrel20ImpExp::detail
