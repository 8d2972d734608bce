// clsExport: writes the logic pack of one profile (optionally with its chain of
// base profiles and its revision information) from a profile store.
// The public members are the interface of the original class, in its order;
// properties are put_/get_/putref_ as a dual interface reaches them. Private
// procedures live in export/ and take what they need of the object's options,
// context and results.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/env.h"
#include "component/variant.h"
#include "exporter/export_context.h"
#include "exporter/export_options.h"
#include "exporter/export_results.h"

namespace Kestrel20ImpExp {

class clsExport {
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
  const std::string& PackFolder() const { return options_.Path; }
  void SetProgress(kestrel::exporter::ProgressFn progress) { context_.Progress = std::move(progress); }

 private:
  kestrel::exporter::ExportOptions options_;
  // Kept from call to call, as the object's fields were: the error, the
  // lists, and the rule files left open until the object goes.
  kestrel::exporter::ExportContext context_;
  kestrel::exporter::ExportResults results_;
};

}  // namespace Kestrel20ImpExp
