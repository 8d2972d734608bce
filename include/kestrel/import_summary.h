// What an import changed in the store, or would have on a dry run: the
// profiles and applications it replaced and, per table, the rows it deleted
// and added. clsImport::Summary() hands it out after ImportLogicPack and
// LoadToMAP150.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kestrel/store.h"

namespace kestrel {

struct ImportSummary {
  bool DryRun = false;
  bool Committed = false;
  std::vector<int64_t> ProfilesReplaced;
  std::vector<std::string> ApplicationsReplaced;
  store::RowChangeCounts Rows;
  double Seconds = 0;
};

// A line to show while an operation runs (what it waits for).
using NoticeFn = std::function<void(const std::string& line)>;

}  // namespace kestrel
