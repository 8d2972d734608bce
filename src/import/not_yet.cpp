// Entry points whose subsystems are not built yet. Each fails with a clear
// error until its implementation replaces the line here.
#include "component/errors_ours.h"
#include "import/entry_points.h"

namespace Kestrel20ImpExp::detail {

bool ShowLogicPackDetails(ImportState&, std::string&) { Raise(Ours::NotImplemented); }
bool VerifyUserSelections(ImportState&, const std::string&, std::string&, std::string&) { Raise(Ours::NotImplemented); }
bool ImportLogicPack(ImportState&, std::string&, std::string&) { Raise(Ours::NotImplemented); }
bool GetDevelopmentVRC(ImportState&, int32_t&, std::vector<std::string>&) { Raise(Ours::NotImplemented); }
bool LoadToMAP150(ImportState&) { Raise(Ours::NotImplemented); }

}  // namespace Kestrel20ImpExp::detail
