// clsExport's creation and property procedures; the operation is in export/.
#include "component/cls_export.h"

#include "component/error.h"
#include "export/export_driver.h"
#include "store/connection.h"

namespace Kestrel20ImpExp {

namespace detail {
ExportState& StateOf(clsExport& e) { return e.s_; }

store::Connection& ConnectionOf(const ExportState& s) {
  if (!s.DataConnection) throw ComError(91, "Object variable or With block variable not set");
  return *s.DataConnection;
}
}  // namespace detail

clsExport::clsExport() : clsExport(Env::Default()) {}
clsExport::clsExport(Env& env) : env_(&env) {}
clsExport::~clsExport() = default;

void clsExport::put_traveseparent(bool value) { s_.traveseparent = value; }
bool clsExport::get_traveseparent() const { return s_.traveseparent; }
void clsExport::putref_DataConnection(std::shared_ptr<store::Connection> connection) {
  s_.DataConnection = std::move(connection);
}
void clsExport::put_NewProfileNumber(int16_t value) { s_.NewProfileNumber = value; }
void clsExport::put_MigrationProfileTobeExported(int16_t value) { s_.MigrationProfileTobeExported = value; }
void clsExport::put_Path(const std::string& value) { s_.Path = value; }
int16_t clsExport::get_ErrorNumber() const { return static_cast<int16_t>(s_.Error.ErrorNumber); }
std::string clsExport::get_ErrorDescription() const { return s_.Error.ErrorDescription; }
void clsExport::put_OverWrite(bool value) { s_.OverWrite = value; }
void clsExport::put_ExportRevisionInformation(bool value) { s_.ExportRevisionInformation = value; }
void clsExport::put_ExportToSingleProfile(bool value) { s_.ExportToSingleProfile = value; }
void clsExport::put_TreskDataPath(const std::string& value) { s_.TreskDataPath = value; }
void clsExport::put_ExportBasedOn(const Variant& value) { s_.ExportBasedOn = value.ToString(); }
void clsExport::put_ExportForSync(const Variant& value) { s_.ExportForSync = value.ToBool(); }

bool clsExport::ExportMigrationProfiles() { return detail::ExportMigrationProfiles(s_); }

}  // namespace Kestrel20ImpExp
