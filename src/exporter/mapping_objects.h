// The mapping object export of the single-profile pack: for every mapping
// object of the target application, the rules of the nearest profile up the
// chain that has rules for it, written as rules of the exported profile into
// the rule files that ExportSingleProfile keeps open in the context's
// RuleStreams. Failures are raised as a Failure; those the export goes on
// after are given back.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/error.h"
#include "exporter/export_context.h"
#include "exporter/profile_drivers.h"
#include "pack/record_writer.h"
#include "store/connection.h"

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

// Lists the mapping objects of `appl` and exports each: the rules of the
// exported profile's level or, when it has no qzmap120 rows for the object
// and the scope climbs, of the nearest ancestor that has, with its revisions
// when the scope says so. `exported` is the number and VRC every record
// carries in its first four lines; `parent` the VRC the exported profile is
// based on (empty for a root profile). Every rule table is read once for all
// objects. A failure at an ancestor's level is noted and the export goes on
// with the next object: the last noted is given back. Any other failure is
// raised as a Failure (100 or 140 when the application has no objects, a loop
// of parent VRCs with Ours::ChainTooLong, 999 as the traps word the rest).
// `ahead`, when given, holds the reads StartMappingObjectReads started for
// the same arguments.
std::optional<Error> ExportMappingObjects(ExportContext& ctx, const ObjectScope& scope, const std::string& appl,
                                          const pack::Identity& exported, const Vrc& parent,
                                          store::ReadsAhead* ahead = nullptr);

// Starts the reads ExportMappingObjects makes for the same arguments, so
// that a server store makes them while the caller writes other files. Null
// when a look-up before them fails or finds nothing: the export meets that
// where it always has.
std::unique_ptr<store::ReadsAhead> StartMappingObjectReads(ExportContext& ctx, const ObjectScope& scope,
                                                           const std::string& appl, const pack::Identity& exported,
                                                           const Vrc& parent);

}  // namespace kestrel::exporter
