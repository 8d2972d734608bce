// clsExport's creation and property procedures; the operation is in export/.
#include "component/cls_export.h"

#include "exporter/export_driver.h"
#include "store/connection.h"

namespace Kestrel20ImpExp {

clsExport::clsExport() : clsExport(kestrel::Env::Default()) {}
clsExport::clsExport(kestrel::Env& env) : context_(env) {}
clsExport::~clsExport() = default;

void clsExport::put_traveseparent(bool value) { options_.traveseparent = value; }
bool clsExport::get_traveseparent() const { return options_.traveseparent; }
void clsExport::putref_DataConnection(std::shared_ptr<kestrel::store::Connection> connection) {
  context_.DataConnection = std::move(connection);
}
void clsExport::put_NewProfileNumber(int16_t value) { options_.NewProfileNumber = value; }
void clsExport::put_MigrationProfileTobeExported(int16_t value) { options_.MigrationProfileTobeExported = value; }
void clsExport::put_Path(const std::string& value) { options_.Path = value; }
int16_t clsExport::get_ErrorNumber() const { return static_cast<int16_t>(results_.Error.ErrorNumber); }
std::string clsExport::get_ErrorDescription() const { return results_.Error.ErrorDescription; }
void clsExport::put_OverWrite(bool value) { options_.OverWrite = value; }
void clsExport::put_ExportRevisionInformation(bool value) { options_.ExportRevisionInformation = value; }
void clsExport::put_ExportToSingleProfile(bool value) { options_.ExportToSingleProfile = value; }
// Hosts set it, but no part of the export reads it.
void clsExport::put_TreskDataPath(const std::string&) {}
void clsExport::put_ExportBasedOn(const Variant& value) { options_.ExportBasedOn = value.ToString(); }
void clsExport::put_ExportForSync(const Variant& value) { options_.ExportForSync = value.ToBool(); }

// The run leaves its folder where Path is read afterwards, as the object's
// own Path field did: the export root it used, then the pack folder.
bool clsExport::ExportMigrationProfiles() {
  const bool ok = kestrel::exporter::ExportMigrationProfiles(options_, context_, results_);
  options_.Path = context_.PackFolder;
  return ok;
}

}  // namespace Kestrel20ImpExp
