// What the host set on a clsExport before asking for the pack: which profile,
// where to, and how. Every step of the export reads these and none writes
// them; a caller that builds its own must fill in what the run needs.
#pragma once

#include <cstdint>
#include <string>

namespace kestrel::exporter {

struct ExportOptions {
  int16_t MigrationProfileTobeExported = 0;
  // The number a single-profile pack announces to the import.
  int16_t NewProfileNumber = 0;
  // The export root; empty takes DefaultExportRoot().
  std::string Path;
  bool OverWrite = false;
  bool ExportRevisionInformation = false;
  bool ExportToSingleProfile = false;
  // Ancestors numbered at or below its numeric value stay out of a chain pack.
  std::string ExportBasedOn;
  bool ExportForSync = false;
  // An object without rules of its own takes those of the nearest ancestor.
  bool traveseparent = false;
};

}  // namespace kestrel::exporter
