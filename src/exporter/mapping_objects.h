// The mapping object export of the single-profile pack: for every mapping
// object of the target application, the rules of the nearest profile up the
// chain that has rules for it, written as rules of the exported profile into
// the rule files that ExportSingleProfile keeps open in the context's
// RuleStreams. Failures are reported in `error`.
#pragma once

#include <cstdint>
#include <string>

#include "base/error.h"
#include "exporter/export_context.h"
#include "exporter/profile_drivers.h"
#include "pack/record_writer.h"

namespace kestrel::exporter {

// One table of the target application: package, module and file number.
struct MappingObject {
  std::string pac, mod, flno;
  std::string Name() const { return pac + mod + flno; }
};

// How the objects' rules are gathered, from the host's options and the profile.
struct ObjectScope {
  bool traverse_parents = false;  // an object without rules takes the nearest ancestor's
  bool for_sync = false;          // records as a synchronisation pack carries them
  bool revisions = false;         // revisions are exported (at every level climbed to)
};

// Lists the mapping objects of `appl` and exports each. `exported` is the
// number and VRC every record carries in its first four lines; `parent` the
// VRC the exported profile is based on (empty for a root profile).
bool ExportMappingObjects(ExportContext& ctx, ErrorState& error, const ObjectScope& scope, const std::string& appl,
                          const pack::Identity& exported, const Vrc& parent);

// Exports one mapping object at the level of profile `mprf` (VRC `vrc`, based
// on `parent`), with its revisions there when `revisions`; when that level has
// no qzmap120 rows for it and climbing is allowed (the scope's
// traverse_parents and `may_climb`), from the nearest ancestor that has, with
// revisions as the scope says. A failure above the first level stays in
// `error` and the result is true; a loop of parent VRCs fails with
// Ours::ChainTooLong.
bool ExportObjectEx(ExportContext& ctx, ErrorState& error, const ObjectScope& scope, const pack::Identity& exported,
                    int64_t mprf, const Vrc& vrc, const Vrc& parent, const MappingObject& object, bool revisions,
                    bool may_climb);

}  // namespace kestrel::exporter
