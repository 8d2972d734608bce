// clsImport's creation and property procedures; the operations are in import/.
#include "component/cls_import.h"

#include "component/error.h"
#include "component/files.h"
#include "import/entry_points.h"
#include "import/import_driver.h"
#include "import/import_unit.h"
#include "import/loaders.h"
#include "import/planned_pack.h"

namespace Kestrel20ImpExp {

clsImport::clsImport() : clsImport(Env::Default()) {}

clsImport::clsImport(Env& env) : clsImport(env, CreateRegistry(env)) {}

clsImport::clsImport(std::shared_ptr<Registry> registry) : clsImport(Env::Default(), std::move(registry)) {}

clsImport::clsImport(Env& env, std::shared_ptr<Registry> registry) : env_(&env) {
  context_.RegistryComponent = std::move(registry);
  Create();
}

clsImport::~clsImport() = default;

void clsImport::Create() {
  std::string path = context_.InstallationPath;
  if (!detail::GetLumoInstallationPath(context_, results_.Error, path))
    throw ComError(results_.Error.ErrorNumber, results_.Error.ErrorDescription);
  context_.InstallationPath = path;
  context_.ImportLogPath = files::Join(context_.TempFolder(), "importmr.log");
}

void clsImport::put_LastModifiedUser(const std::string& value) { options_.LastModifiedUser = value; }
std::string clsImport::get_LastModifiedUser() const { return options_.LastModifiedUser; }
int16_t clsImport::get_ErrorNumber() const { return results_.Error.NumberAsRead(); }
std::string clsImport::get_ErrorDescription() const { return results_.Error.ErrorDescription; }
void clsImport::putref_DataConnection(std::shared_ptr<store::Connection> connection) {
  context_.DataConnection = std::move(connection);
}
void clsImport::put_Path(const std::string& value) { options_.Path = value; }
std::string clsImport::get_Path() const { return options_.Path; }
void clsImport::put_DatabaseServer(const std::string& value) { options_.DatabaseServer = value; }
void clsImport::put_DatabaseName(const std::string& value) { options_.DatabaseName = value; }
void clsImport::put_DatabaseUser(const std::string& value) { options_.DatabaseUser = value; }
void clsImport::put_DatabasePassword(const std::string& value) { options_.DatabasePassword = value; }

bool clsImport::LoadToMAP150() {
  std::string message;
  return detail::RunAsOneUnit(options_, context_, results_.Error, results_.Summary, message,
                              [this](const detail::ImportContext& unit) {
                                return detail::LoadToMAP150(detail::PlannedPackOf(options_, results_),
                                                            results_.HeaderMap, unit, results_.Error);
                              });
}
bool clsImport::ImportLogicPack(std::string& strLPDetails, std::string& strErrorMessage) {
  return detail::ImportLogicPack(options_, context_, results_, strLPDetails, strErrorMessage);
}
bool clsImport::CheckLogicPack(std::string& strLPDetails, std::string& strErrorMessage) {
  return detail::CheckLogicPack(options_, context_, results_, strLPDetails, strErrorMessage);
}
bool clsImport::VerifyUserSelections(std::string strInLPDetails, std::string& strOutLPDetails,
                                     std::string& strErrorMessage) {
  return detail::VerifyUserSelections(context_, results_.Error, strInLPDetails, strOutLPDetails, strErrorMessage);
}
bool clsImport::ShowLogicPackDetails(std::string& strLPDetails) {
  return detail::ShowLogicPackDetails(options_, context_, results_.Manifest, results_.Error, strLPDetails);
}
bool clsImport::GetDepthOfProfile(int32_t& lMprf, int32_t& lPprf, int32_t& lDpth) {
  return detail::GetDepthOfProfile(context_, lMprf, lPprf, lDpth);
}
bool clsImport::GetDevelopmentVRC(int32_t& lMprfIn, std::vector<std::string>& strArray) {
  return detail::GetDevelopmentVRC(options_, results_.Manifest, results_.Error, lMprfIn, strArray);
}
bool clsImport::GetLumoInstallationPath(std::string& strPath) {
  return detail::GetLumoInstallationPath(context_, results_.Error, strPath);
}

}  // namespace Kestrel20ImpExp
