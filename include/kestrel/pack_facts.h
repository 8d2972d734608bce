// Facts of a logic pack that hosts look for or show: the name of the file an
// export lists its pack's files in, what a listing says of a pack without it,
// and the notice for such a pack taken all the same (the import logs it, the
// command line shows it). The library reads them through pack/sums.h.
#pragma once

#include <string_view>

namespace kestrel {

inline constexpr std::string_view kPackSumsFile = "ExportMR.sums";
inline constexpr std::string_view kNoPackSums = "no ExportMR.sums: the pack's integrity cannot be checked";
inline constexpr std::string_view kNoPackSumsNotice =
    "Note: no ExportMR.sums: the pack's integrity cannot be checked; it is taken as an older export wrote it.";

}  // namespace kestrel
