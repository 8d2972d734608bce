// clsExport's creation and property procedures; the operation is in the exporter.
#include "kestrel/cls_export.h"

#include "exporter/export_context.h"
#include "exporter/export_driver.h"
#include "exporter/export_options.h"
#include "exporter/export_results.h"
#include "pack/component_text.h"
#include "pack/naming.h"
#include "store/connection.h"
#include "base/files.h"

namespace Kestrel20ImpExp {

struct clsExport::State {
  explicit State(kestrel::Env& env) : context_(env) {}
  kestrel::exporter::ExportOptions options_;
  kestrel::exporter::ExportContext context_;
  kestrel::exporter::ExportResults results_;
};

clsExport::clsExport() : clsExport(kestrel::Env::Default()) {}
clsExport::clsExport(kestrel::Env& env) : state_(std::make_unique<State>(env)) {}
clsExport::~clsExport() = default;

const std::string& clsExport::PackFolder() const { return state_->options_.Path; }
void clsExport::SetProgress(kestrel::ProgressFn progress) { state_->context_.Progress = std::move(progress); }
std::string clsExport::DefaultExportRoot(kestrel::Env& env) { return kestrel::exporter::DefaultExportRoot(env); }
std::string clsExport::PacksFolder(const std::string& root) {
  return kestrel::files::Join(root, kestrel::pack::kRulesFolder);
}

void clsExport::put_traveseparent(bool value) { state_->options_.traveseparent = value; }
bool clsExport::get_traveseparent() const { return state_->options_.traveseparent; }
void clsExport::putref_DataConnection(std::shared_ptr<kestrel::store::Connection> connection) {
  state_->context_.DataConnection = std::move(connection);
}
void clsExport::put_NewProfileNumber(int16_t value) { state_->options_.NewProfileNumber = value; }
void clsExport::put_MigrationProfileTobeExported(int16_t value) { state_->options_.MigrationProfileTobeExported = value; }
void clsExport::put_Path(const std::string& value) { state_->options_.Path = value; }
int16_t clsExport::get_ErrorNumber() const { return state_->results_.Error.NumberAsRead(); }
std::string clsExport::get_ErrorDescription() const {
  return kestrel::pack::ComponentDescription(state_->results_.Error.value());
}
void clsExport::put_OverWrite(bool value) { state_->options_.OverWrite = value; }
void clsExport::put_ExportRevisionInformation(bool value) { state_->options_.ExportRevisionInformation = value; }
void clsExport::put_ExportToSingleProfile(bool value) { state_->options_.ExportToSingleProfile = value; }
// Hosts set it, but no part of the export reads it.
void clsExport::put_TreskDataPath(const std::string&) {}
void clsExport::put_ExportBasedOn(const Variant& value) { state_->options_.ExportBasedOn = value.ToString(); }
void clsExport::put_ExportForSync(const Variant& value) { state_->options_.ExportForSync = value.ToBool(); }

// The run leaves its folder where Path is read afterwards, as the object's
// own Path field did: the export root it used, then the pack folder.
bool clsExport::ExportMigrationProfiles() {
  const bool ok = kestrel::exporter::ExportMigrationProfiles(state_->options_, state_->context_, state_->results_);
  state_->options_.Path = state_->context_.PackFolder;
  return ok;
}

}  // namespace Kestrel20ImpExp
