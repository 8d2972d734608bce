// The fields of a clsImport object, shared by the import's private procedures.
// Internal: only the component, its procedures and the tests include it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "component/error.h"
#include "component/files.h"
#include "component/registry.h"

namespace Kestrel20ImpExp {
class clsImport;
namespace store { class Connection; class Recordset; }

namespace detail {

using ImportProgressFn = std::function<void(const std::string& what, int64_t done)>;

// The import plan of one ImportLogicPack call: per entry i (0 ... n) the pack's
// profile and the user's choice for it.
struct ImportPlan {
  std::array<std::vector<int32_t>, 2> SourceProfiles;          // [0] number, [1] parent
  std::array<std::vector<std::string>, 2> SourceApplications;  // [0] source, [1] target
  std::array<std::vector<int32_t>, 2> TargetProfiles;
  std::array<std::vector<std::string>, 2> TargetApplications;
  std::vector<std::string> DevelopmentVRCs;                    // "vers_rele_cust" or "__"
  int32_t Size = -1;                                           // n: upper bound, -1 when empty
};

struct ImportState {
  // Fields of the interface, in declaration order, with their defaults.
  std::shared_ptr<store::Connection> DataConnection;
  std::string Path;
  std::string DatabaseServer, DatabaseUser, DatabasePassword, DatabaseName;
  ErrorState Error;                  // ErrorNumber (32-bit, read as 16), ErrorDescription
  std::string InstallationPath;
  std::string TempSubfolder = "LumoStudio/tmp";
  std::string BulkLogPath;
  std::string BulkErrorLogPath;
  std::string FieldSeparator = std::string(1, '\x01');
  std::string ListSeparator = "|";
  std::string VrcSeparator = "_";
  std::unique_ptr<files::TextReader> DataStream;
  std::unique_ptr<store::Recordset> WorkRecordset;
  bool ManifestNewProfile = false;
  int16_t ManifestNewProfileNumber = 0;
  std::string ManifestApplications;
  std::string LastModifiedUser;
  bool ManifestRevisions = false;
  bool ManifestForSync = false;
  std::string ImportLogPath;

  // Working members of the import.
  ImportPlan Plan;
  // The header map ("number_vers_rele_cust" per pack profile). ImportedProfiles
  // is the same map joined by character 1; change both only through
  // SetHeaderMap (import/plan_lookups.h), which keeps them in step.
  std::vector<std::string> HeaderMap;
  std::string ImportedProfiles;
  // Where the check before the import refused the pack (file and line), ""
  // when it did not.
  std::string RefusedAt;

  std::shared_ptr<Registry> RegistryComponent;
  ImportProgressFn Progress;
  void Report(const std::string& what, int64_t done) const {
    if (Progress) Progress(what, done);
  }
};

ImportState& StateOf(clsImport& i);

// The connection the caller set; raises 91 "Object variable or With block
// variable not set" when there is none.
store::Connection& ConnectionOf(const ImportState& s);

}  // namespace detail
}  // namespace Kestrel20ImpExp
