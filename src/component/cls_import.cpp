// clsImport's creation and property procedures; the operations are in import/.
#include "component/cls_import.h"

#include "component/error.h"
#include "import/entry_points.h"
#include "import/import_driver.h"
#include "store/connection.h"

namespace Kestrel20ImpExp {

namespace detail {
ImportState& StateOf(clsImport& i) { return i.s_; }

store::Connection& ConnectionOf(const ImportState& s) {
  if (!s.DataConnection) RaiseRuntime(rt::ObjectNotSet);
  return *s.DataConnection;
}
}  // namespace detail

clsImport::clsImport() : clsImport(Env::Default()) {}

clsImport::clsImport(Env& env) : clsImport(env, CreateRegistry(env)) {}

clsImport::clsImport(std::shared_ptr<Registry> registry) : clsImport(Env::Default(), std::move(registry)) {}

clsImport::clsImport(Env& env, std::shared_ptr<Registry> registry) : env_(&env) {
  s_.RegistryComponent = std::move(registry);
  Create();
}

clsImport::~clsImport() = default;

void clsImport::Create() {
  std::string path = s_.InstallationPath;
  if (!detail::GetLumoInstallationPath(s_, path))
    throw ComError(s_.Error.ErrorNumber, s_.Error.ErrorDescription);
  s_.InstallationPath = path;
  std::string folder = files::Join(s_.InstallationPath, s_.TempSubfolder);
  s_.ImportLogPath = files::Join(folder, "importmr.log");
  s_.BulkLogPath = files::Join(folder, "Lumo22ImportLog.log");
  s_.BulkErrorLogPath = files::Join(folder, "Lumo22ErrLog.log");
}

void clsImport::put_LastModifiedUser(const std::string& value) { s_.LastModifiedUser = value; }
std::string clsImport::get_LastModifiedUser() const { return s_.LastModifiedUser; }
int16_t clsImport::get_ErrorNumber() const { return static_cast<int16_t>(s_.Error.ErrorNumber); }
std::string clsImport::get_ErrorDescription() const { return s_.Error.ErrorDescription; }
void clsImport::putref_DataConnection(std::shared_ptr<store::Connection> connection) {
  s_.DataConnection = std::move(connection);
}
void clsImport::put_Path(const std::string& value) { s_.Path = value; }
std::string clsImport::get_Path() const { return s_.Path; }
void clsImport::put_DatabaseServer(const std::string& value) { s_.DatabaseServer = value; }
void clsImport::put_DatabaseName(const std::string& value) { s_.DatabaseName = value; }
void clsImport::put_DatabaseUser(const std::string& value) { s_.DatabaseUser = value; }
void clsImport::put_DatabasePassword(const std::string& value) { s_.DatabasePassword = value; }

bool clsImport::LoadToMAP150() { return detail::LoadToMAP150(s_); }
bool clsImport::ImportLogicPack(std::string& strLPDetails, std::string& strErrorMessage) {
  return detail::ImportLogicPack(s_, strLPDetails, strErrorMessage);
}
bool clsImport::CheckLogicPack(std::string& strLPDetails, std::string& strErrorMessage) {
  return detail::CheckLogicPack(s_, strLPDetails, strErrorMessage);
}
bool clsImport::VerifyUserSelections(std::string strInLPDetails, std::string& strOutLPDetails,
                                     std::string& strErrorMessage) {
  return detail::VerifyUserSelections(s_, strInLPDetails, strOutLPDetails, strErrorMessage);
}
bool clsImport::ShowLogicPackDetails(std::string& strLPDetails) {
  return detail::ShowLogicPackDetails(s_, strLPDetails);
}
bool clsImport::GetDepthOfProfile(int32_t& lMprf, int32_t& lPprf, int32_t& lDpth) {
  return detail::GetDepthOfProfile(s_, lMprf, lPprf, lDpth);
}
bool clsImport::GetDevelopmentVRC(int32_t& lMprfIn, std::vector<std::string>& strArray) {
  return detail::GetDevelopmentVRC(s_, lMprfIn, strArray);
}
bool clsImport::GetLumoInstallationPath(std::string& strPath) {
  return detail::GetLumoInstallationPath(s_, strPath);
}

}  // namespace Kestrel20ImpExp
