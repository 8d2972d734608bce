// clsImport's creation and property procedures; the operations are in import/.
#include "component/cls_import.h"

#include "base/error.h"
#include "base/files.h"
#include "importer/entry_points.h"
#include "importer/import_driver.h"
#include "importer/loaders.h"
#include "importer/planned_pack.h"

namespace Kestrel20ImpExp {

clsImport::clsImport() : clsImport(kestrel::Env::Default()) {}

clsImport::clsImport(kestrel::Env& env) : clsImport(env, kestrel::CreateRegistry(env)) {}

clsImport::clsImport(std::shared_ptr<kestrel::Registry> registry) : clsImport(kestrel::Env::Default(), std::move(registry)) {}

clsImport::clsImport(kestrel::Env& env, std::shared_ptr<kestrel::Registry> registry) : context_(env) {
  context_.RegistryComponent = std::move(registry);
  Create();
}

clsImport::~clsImport() = default;

void clsImport::Create() {
  std::string path = context_.InstallationPath;
  if (!kestrel::importer::GetLumoInstallationPath(context_, results_.Error, path))
    throw kestrel::ComError(results_.Error.ErrorNumber, results_.Error.ErrorDescription);
  context_.InstallationPath = path;
  context_.ImportLogPath = kestrel::files::Join(context_.TempFolder(), "importmr.log");
}

void clsImport::put_LastModifiedUser(const std::string& value) { options_.LastModifiedUser = value; }
std::string clsImport::get_LastModifiedUser() const { return options_.LastModifiedUser; }
int16_t clsImport::get_ErrorNumber() const { return results_.Error.NumberAsRead(); }
std::string clsImport::get_ErrorDescription() const { return results_.Error.ErrorDescription; }
void clsImport::putref_DataConnection(std::shared_ptr<kestrel::store::Connection> connection) {
  context_.DataConnection = std::move(connection);
}
void clsImport::put_Path(const std::string& value) { options_.Path = value; }
std::string clsImport::get_Path() const { return options_.Path; }
void clsImport::put_DatabaseServer(const std::string& value) { options_.DatabaseServer = value; }
void clsImport::put_DatabaseName(const std::string& value) { options_.DatabaseName = value; }
void clsImport::put_DatabaseUser(const std::string& value) { options_.DatabaseUser = value; }
void clsImport::put_DatabasePassword(const std::string& value) { options_.DatabasePassword = value; }

bool clsImport::LoadToMAP150() {
  return kestrel::importer::LoadToMAP150(kestrel::importer::PlannedPackOf(options_, results_), results_.HeaderMap, context_,
                              results_.Error);
}
bool clsImport::ImportLogicPack(std::string& strLPDetails, std::string& strErrorMessage) {
  return kestrel::importer::ImportLogicPack(options_, context_, results_, strLPDetails, strErrorMessage);
}
bool clsImport::CheckLogicPack(std::string& strLPDetails, std::string& strErrorMessage) {
  return kestrel::importer::CheckLogicPack(options_, context_, results_, strLPDetails, strErrorMessage);
}
bool clsImport::VerifyUserSelections(std::string strInLPDetails, std::string& strOutLPDetails,
                                     std::string& strErrorMessage) {
  return kestrel::importer::VerifyUserSelections(context_, results_.Error, strInLPDetails, strOutLPDetails, strErrorMessage);
}
bool clsImport::ShowLogicPackDetails(std::string& strLPDetails) {
  return kestrel::importer::ShowLogicPackDetails(options_, context_, results_.Manifest, results_.Error, strLPDetails);
}
bool clsImport::GetDepthOfProfile(int32_t& lMprf, int32_t& lPprf, int32_t& lDpth) {
  return kestrel::importer::GetDepthOfProfile(context_, lMprf, lPprf, lDpth);
}
bool clsImport::GetDevelopmentVRC(int32_t& lMprfIn, std::vector<std::string>& strArray) {
  return kestrel::importer::GetDevelopmentVRC(options_, context_, results_.Manifest, results_.Error, lMprfIn, strArray);
}
bool clsImport::GetLumoInstallationPath(std::string& strPath) {
  return kestrel::importer::GetLumoInstallationPath(context_, results_.Error, strPath);
}

}  // namespace Kestrel20ImpExp
