// What the import's operations leave behind on a clsImport: the error state
// the host reads, the options the pack's manifest announced, the import plan
// and header map of the last import, where the pack check refused a pack, and
// what the last import changed.
// The operations write them; a caller reads them between calls, not while an
// operation runs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/error.h"
#include "kestrel/import_summary.h"
#include "pack/manifest.h"
#include "store/connection.h"

namespace kestrel::importer {

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

using kestrel::ImportSummary;

struct ImportResults {
  ErrorState Error;  // ErrorNumber (32-bit, read as 16), ErrorDescription
  // The manifest's options as last read; an option line the manifest does not
  // carry keeps the value read before.
  pack::ManifestOptions Manifest;
  ImportPlan Plan;
  // "number_vers_rele_cust" per pack profile: the number and VRC each profile
  // is stored under.
  std::vector<std::string> HeaderMap;
  // Where the check before the import refused the pack (file and line), ""
  // when it did not.
  std::string RefusedAt;
  ImportSummary Summary;
};

}  // namespace kestrel::importer
