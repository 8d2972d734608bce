// The pack archive's reader, as the PackSource of kestrel/pack_archive.h and
// the fuzz target use it.
#pragma once

#include <string>
#include <string_view>

#include "kestrel/pack_archive.h"

namespace kestrel::pack {

// Unpacks the archive `data` (in memory) into the empty folder `folder`, as a
// PackSource unpacks a file; `shown` names the archive in errors.
void UnpackArchive(std::string_view data, const std::string& folder, const std::string& shown,
                   const PackArchiveLimits& limits = {});

// The name a pack unpacked from `argument` gets: the archive's file name
// without ".zst" and ".tar" ("pack" for standard input or an empty rest).
std::string UnpackedPackName(std::string_view argument);

}  // namespace kestrel::pack
