// Compares two logic pack folders for tests: the same files (names matched
// without regard to case) with the same bytes, the manifest's dates and times
// masked. A difference is described with the first line that differs.
#pragma once

#include <string>

namespace kestrel::testing {

// "" when the packs agree; otherwise what differs first (file names in sorted
// order, the first differing line of the first differing file).
std::string ComparePacks(const std::string& expected_folder, const std::string& actual_folder);

}  // namespace kestrel::testing
