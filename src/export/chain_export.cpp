// ExportMultipleProfiles: the pack of a profile with its chain of base
// profiles. Until it is written, asking for it fails with an error of ours.
#include <string>

#include "component/errors_ours.h"
#include "export/profile_drivers.h"

namespace Kestrel20ImpExp::detail {

bool ExportMultipleProfiles(ExportState& s) {
  s.Error.Set(Number(Ours::NotImplemented),
              std::string(DefaultText(Ours::NotImplemented)) + ": the export with base profiles (use --single)");
  return false;
}

}  // namespace Kestrel20ImpExp::detail
