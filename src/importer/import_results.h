// What the import's operations leave behind on a clsImport: the error state
// the host reads, the options the pack's manifest announced, the import plan
// and header map of the last import, where the pack check refused a pack, and
// what the last import changed.
// The operations write them; a caller reads them between calls, not while an
// operation runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/error.h"
#include "kestrel/import_summary.h"
#include "pack/manifest.h"
#include "store/connection.h"

namespace kestrel::importer {

// One side of an import plan's entry: a profile of the pack, or what the
// user chose it to become.
struct PlanProfile {
  int32_t profile = 0;
  int32_t parent = 0;
  std::string source_application, target_application;
  // The source application for j = 0, the target application for j = 1.
  const std::string& Application(size_t j) const { return j == 0 ? source_application : target_application; }
};

// One entry of the plan: the pack's profile, the user's choice for it, and
// the development VRC the profile's rules may be kept under.
struct PlanEntry {
  PlanProfile source, target;
  std::string development_vrc = "__";  // "vers_rele_cust" or "__"
};

// The import plan of one ImportLogicPack call, an entry per pack profile.
struct ImportPlan {
  std::vector<PlanEntry> Entries;

  size_t size() const { return Entries.size(); }
  // Entry i; positions outside the plan raise 9 "Subscript out of range".
  const PlanEntry& At(size_t i) const;
};

using kestrel::ImportSummary;

struct ImportResults {
  ErrorState Error;  // what clsImport reads as ErrorNumber (cut to 16 bits) and ErrorDescription
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
  // The selection's entry (its index in its list) a refused selection is
  // refused for; -1 when none is.
  int64_t RefusedEntry = -1;
  ImportSummary Summary;
};

}  // namespace kestrel::importer
