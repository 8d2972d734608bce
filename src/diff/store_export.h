// The store side of a diff: a profile of a store written by the export into
// a pack in a temporary folder of its own, which goes again with the object.
// Comparing two packs then is the only comparison there is. The connection
// must outlive the object. Internal to the diff.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "diff/pack_side.h"
#include "kestrel/env.h"
#include "store/connection.h"

namespace kestrel::diff {

// How the pack is exported: as the pack it is compared with was.
struct ExportShape {
  bool single = false;
  bool revisions = true;
  bool for_sync = false;
  int16_t new_number = 0;  // announced by a single-profile pack
  std::string based_on;    // ancestors numbered up to this stay out of a chain
};
// The shape of `pack` as its manifest and folder name say.
ExportShape ShapeOf(const PackSide& pack);

class TemporaryPack {
 public:
  // Exports `profile`; a failure of the export raises its error.
  TemporaryPack(Env& env, const std::shared_ptr<store::Connection>& connection, int64_t profile,
                const ExportShape& shape);
  ~TemporaryPack();
  TemporaryPack(const TemporaryPack&) = delete;
  TemporaryPack& operator=(const TemporaryPack&) = delete;

  const PackSide& side() const { return *side_; }

 private:
  void Remove() noexcept;

  Env& env_;
  std::string root_;         // the temporary folder
  std::string pack_folder_;  // the pack below it, once written
  std::unique_ptr<PackSide> side_;
};

// Whether the store holds the profile, the application.
bool StoreHoldsProfile(store::Connection& c, int64_t profile);
bool StoreHoldsApplication(store::Connection& c, const std::string& appl);
// The lowest profile that serves `appl` (as its source or target), whose
// export carries the application's rows; nullopt when none does.
std::optional<int64_t> StoreProfileOfApplication(store::Connection& c, const std::string& appl);

}  // namespace kestrel::diff
