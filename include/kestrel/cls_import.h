// clsImport: checks a logic pack, verifies the user's choice of numbers,
// applications and parents, and imports the pack into a profile store.
// The public members are the interface of the original class, in its order.
// Creation runs the installation lookup and throws kestrel::ComError (505) when it fails.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/env.h"
#include "kestrel/error.h"
#include "kestrel/export.h"
#include "kestrel/import_summary.h"
#include "kestrel/progress.h"
#include "kestrel/registry.h"
#include "kestrel/store.h"

namespace Kestrel20ImpExp {

class KESTREL_API clsImport {
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
  void SetProgress(kestrel::ProgressFn progress);
  // Lines to show while an import runs (what it waits for).
  void SetNotice(kestrel::NoticeFn notice);
  // How long ImportLogicPack and LoadToMAP150 wait for the store's write lock
  // held by another program (30 s unless set).
  void SetLockWait(int seconds);
  // Whether ImportLogicPack and LoadToMAP150 roll everything back at the end.
  void SetDryRun(bool dry_run);
  // Keeps the import's working folder (ImportAt...) and the copies of the
  // application data in it; by default it is removed after every import.
  void SetKeepWork(bool keep);
  // Whether ShowLogicPackDetails, CheckLogicPack, ImportLogicPack and
  // LoadToMAP150 take a pack without ExportMR.sums, as an older export
  // wrote it: its files cannot be checked for changes (a pack cut short
  // reads as a smaller one). Refused with 9053 unless set.
  void SetAllowPackWithoutSums(bool allow);
  // What the last ImportLogicPack or LoadToMAP150 changed, or would have.
  const kestrel::ImportSummary& Summary() const;
  // The failure ErrorNumber and ErrorDescription tell of, as the typed value
  // they are worded from (number 0 when there is none).
  const kestrel::Error& Failure() const;
  // The check ImportLogicPack runs before its first delete, on its own: the
  // plan from the details, then every file the import would load read and
  // converted without writing. The store is not changed.
  bool CheckLogicPack(std::string& strLPDetails, std::string& strErrorMessage);
  // Where that check refused the pack of the last import or check (file and
  // line), "" when it did not.
  const std::string& RefusedAt() const;
  // The run log every import, check and verification appends its lines to
  // (importmr.log in the installation's temporary folder).
  const std::string& RunLogPath() const;

 private:
  void Create();
  // The options, context and results, kept from call to call.
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace Kestrel20ImpExp
