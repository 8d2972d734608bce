// What ShowLogicPackDetails reads from a pack besides the manifest: a
// profile's parent and an application's extn. Internal to the import.
#pragma once

#include <cstdint>
#include <string>

#include "importer/import_context.h"
#include "base/error.h"

namespace kestrel::importer {

// The parent of a pack profile in the pack at `pack_folder`: the sixth field
// of its level-2 record in "Qzmap101.dat", else (when that gives 0) its
// parent in the store, else 0.
// An unreadable "Qzmap101.dat" raises 100 with the file's text.
int64_t PackParentProfile(const std::string& pack_folder, const ImportContext& cx, const std::string& mprf);

// extn of an application as its "qzddi100" data file in the pack carries it: the last
// field of the first line, -1 for an empty file. An unreadable file raises
// 100 with the "qzddi100.dat" text.
int32_t PackApplicationExtn(Env& env, const std::string& pack_folder, const std::string& appl);

}  // namespace kestrel::importer
