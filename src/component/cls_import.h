// clsImport: checks a logic pack, verifies the user's choice of numbers,
// applications and parents, and imports the pack into a profile store.
// The public members are the interface of the original class, in its order.
// Creation runs the installation lookup and throws kestrel::ComError (505) when it fails.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/env.h"
#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "component/variant.h"

namespace Kestrel20ImpExp {

class clsImport {
 public:
  // Uses kestrel::Env::Default() and the registry file it names (kestrel::CreateRegistry).
  clsImport();
  // Reaches the system, the registry file included, through `env`, which
  // must outlive the object.
  explicit clsImport(kestrel::Env& env);
  // Uses the given registry component (tests inject one).
  explicit clsImport(std::shared_ptr<kestrel::Registry> registry);
  clsImport(kestrel::Env& env, std::shared_ptr<kestrel::Registry> registry);
  ~clsImport();
  clsImport(const clsImport&) = delete;
  clsImport& operator=(const clsImport&) = delete;

  void put_LastModifiedUser(const std::string& value);
  std::string get_LastModifiedUser() const;
  int16_t get_ErrorNumber() const;
  std::string get_ErrorDescription() const;
  void putref_DataConnection(std::shared_ptr<kestrel::store::Connection> connection);
  void put_Path(const std::string& value);
  std::string get_Path() const;
  void put_DatabaseServer(const std::string& value);
  void put_DatabaseName(const std::string& value);
  void put_DatabaseUser(const std::string& value);
  void put_DatabasePassword(const std::string& value);
  bool LoadToMAP150();
  bool ImportLogicPack(std::string& strLPDetails, std::string& strErrorMessage);
  bool VerifyUserSelections(std::string strInLPDetails, std::string& strOutLPDetails,
                            std::string& strErrorMessage);
  bool ShowLogicPackDetails(std::string& strLPDetails);
  bool GetDepthOfProfile(int32_t& lMprf, int32_t& lPprf, int32_t& lDpth);
  bool GetDevelopmentVRC(int32_t& lMprfIn, std::vector<std::string>& strArray);
  bool GetLumoInstallationPath(std::string& strPath);

  // Outside the interface, for the command line.
  void SetProgress(kestrel::importer::ImportProgressFn progress) { context_.Progress = std::move(progress); }
  // The check ImportLogicPack runs before its first delete, on its own: the
  // plan from the details, then every file the import would load read and
  // converted without writing. The store is not changed.
  bool CheckLogicPack(std::string& strLPDetails, std::string& strErrorMessage);
  // Where that check refused the pack of the last import or check (file and
  // line), "" when it did not.
  const std::string& RefusedAt() const { return results_.RefusedAt; }

 private:
  void Create();
  kestrel::importer::ImportOptions options_;
  kestrel::importer::ImportContext context_;
  kestrel::importer::ImportResults results_;
};

}  // namespace Kestrel20ImpExp
