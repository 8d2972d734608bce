// Names inside a logic pack: the pack folder, the manifest and the rule and
// application data files. Application codes become parts of file and folder
// names, so a code that could reach outside the pack folder is refused with
// Ours::BadApplicationCode before any name is formed from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pack/layout.h"

namespace kestrel::pack {

inline constexpr std::string_view kRulesFolder = "ExportedRules";  // below the export root
inline constexpr std::string_view kManifestFile = "ExportMR.log";
// Where the export keeps the manifest's progress text while the pack is written.
inline constexpr std::string_view kManifestSpoolFile = "ExportMR.log.spool";

// Why `name` cannot be the name of a file inside a folder: it is empty, holds
// a path separator ("/" or "\\"), "..", or a control character; empty when it
// can. Names read from a pack pass this before a path is formed from them,
// so that none reaches outside the pack folder.
std::string_view WhyNotAFileName(std::string_view name);

// Refuses a code WhyNotAFileName refuses (the code becomes part of file names).
void CheckApplicationCode(std::string_view code);

// mprf + "-" + sapp + "-" + tapp + "-S" (single-profile export) or "-M" (profile chain).
std::string PackFolderName(int32_t mprf, std::string_view sapp, std::string_view tapp, bool single_profile);

// The start of the name of the folder an export writes a pack into before
// the pack takes its name: "." + the pack folder's name + ".tmp-". A pack
// folder's name never starts with a dot, so no reader takes one for a pack.
inline std::string PackWorkFolderPrefix(std::string_view pack_folder_name) {
  return "." + std::string(pack_folder_name) + ".tmp-";
}

// Table in lower case + application code + ".dat": "qzddi100" + "A1" + ".dat".
std::string DataFileName(std::string_view table, std::string_view appl);

// The rule file of a layout as one export or the other names it.
inline std::string_view RuleFileName(const TaggedLayout& layout, bool single_profile) {
  return single_profile ? layout.single_profile_file : layout.file;
}

}  // namespace kestrel::pack
