// clsExport: writes the logic pack of one profile (optionally with its chain of
// base profiles and its revision information) from a profile store.
// The public members are the interface of the original class, in its order;
// properties are put_/get_/putref_ as a dual interface reaches them. Private
// procedures live in the library and take what they need of the object's
// options, context and results, which the object keeps out of sight.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "kestrel/env.h"
#include "kestrel/export.h"
#include "kestrel/progress.h"
#include "kestrel/store.h"
#include "kestrel/variant.h"

namespace Kestrel20ImpExp {

// Profile numbers travel as 16-bit integers (the classes' properties and the
// pack's new-profile line); 0 and below name no profile. Every face (the
// command line, the wizard, the C interface) takes 1 to this, or 0 where 0
// means none.
inline constexpr int kMaxProfileNumber = 32767;

class KESTREL_API clsExport {
 public:
  // Reaches the system through kestrel::Env::Default().
  clsExport();
  // Reaches the system through `env`, which must outlive the object.
  explicit clsExport(kestrel::Env& env);
  ~clsExport();
  clsExport(const clsExport&) = delete;
  clsExport& operator=(const clsExport&) = delete;

  void put_traveseparent(bool value);
  bool get_traveseparent() const;
  void putref_DataConnection(std::shared_ptr<kestrel::store::Connection> connection);
  void put_NewProfileNumber(int16_t value);
  void put_MigrationProfileTobeExported(int16_t value);
  void put_Path(const std::string& value);
  int16_t get_ErrorNumber() const;
  std::string get_ErrorDescription() const;
  void put_OverWrite(bool value);
  void put_ExportRevisionInformation(bool value);
  void put_ExportToSingleProfile(bool value);
  void put_TreskDataPath(const std::string& value);
  void put_ExportBasedOn(const Variant& value);     // stored as its text; 13 when it has none
  void put_ExportForSync(const Variant& value);     // stored as its boolean; 13 when it has none
  bool ExportMigrationProfiles();

  // Outside the interface, for the command line.
  const std::string& PackFolder() const;
  void SetProgress(kestrel::ProgressFn progress);
  // The export root an export uses when Path is not put: $KESTREL_EXPORT_ROOT
  // when set, else $HOME/ImpExpMR, as `env` has them.
  static std::string DefaultExportRoot(kestrel::Env& env);
  // The folder below the export root `root` that an export writes its pack
  // folders into.
  static std::string PacksFolder(const std::string& root);

 private:
  // The options, context and results, kept from call to call as the
  // object's fields were: the error, the lists, and the rule files left open
  // until the object goes.
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace Kestrel20ImpExp
