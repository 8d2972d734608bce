// The check of the application data files before an import: the files the
// import loads for every application of its plan (only those the pack's
// manifest lists), each read as the bulk loader reads it, at its table's
// width in the store, row by row against the unique keys.
// Internal to the import's check and its tests.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "importer/import_context.h"
#include "importer/key_collisions.h"
#include "importer/planned_pack.h"
#include "importer/store_tables.h"

namespace kestrel::importer {

// One application data file as the import loads it: from the pack's files
// of the application it holds, under the code chosen for it, at the width of
// its table in the store.
struct ApplicationFile {
  std::string_view table;
  std::string path;
  std::string in_pack, chosen;
  std::vector<std::string> columns;
  std::optional<ComError> refused;  // the store could not give the table's columns
  std::atomic<int64_t>* total = nullptr;  // where the import's progress finds the count
};

// The data files of every application the plan names, each application once,
// with what the store says of their tables: read from the store here, so
// that reading the files needs nothing of it. A file the manifest does not
// list raises Ours::UnlistedPackFile (ListedApplicationDataFiles).
std::vector<ApplicationFile> ApplicationFiles(const PlannedPack& planned, const ImportContext& cx,
                                              StoreTables& tables);

// Reads the application data files. No line may hold a NUL byte or a row of
// another application, and no row may collide on a unique key. Stops early,
// passing, once `stop` is set. A refusal raises the failure with the file and
// line as its place.
void CheckApplicationData(Env& env, const std::vector<ApplicationFile>& files, KeyCollisions& collisions,
                          const std::atomic<bool>& stop);

// Whether checking the files' rows against the unique keys asks the store.
// A recoded table's rows all hold the chosen application, which the import
// replaces: checked before a row is added to the keys. A store that cannot
// say counts as asked: the reading then meets its failure where it did.
bool CheckAsksStore(const std::vector<ApplicationFile>& files, KeyCollisions& collisions);

}  // namespace kestrel::importer
