// The import run log "importmr.log" and the texts the import writes into it.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "base/error.h"
#include "importer/import_context.h"

namespace kestrel::importer {

// Banners the two driving entry points log when they start (and end).
inline constexpr std::string_view kImportLogicPackBanner =
    "----------------------------------Import Logic Pack----------------------------------";
inline constexpr std::string_view kImportLogicPackEndBanner =
    "----------------------------------End Import Logic Pack----------------------------------";
// The check of a pack on its own (outside an import) opens with this one.
inline constexpr std::string_view kCheckLogicPackBanner =
    "----------------------------------Check Logic Pack----------------------------------";
inline constexpr std::string_view kVerifyUserSelectionBanner =
    "---------------------------Verify User Selection---------------------------";

// Appends one line to ImportLogPath: the present date and time, a blank, the
// message. Creates the file when missing, replaces it when it exists but
// cannot be appended to, and drops the line silently when neither works.
void WriteImportLog(const ImportContext& cx, std::string_view message);

// Reverses the array in place and logs "Sorting array ..." and one
// "i---->element" line per element; an array of fewer than two elements stays
// as it is and nothing is logged.
void ReverseStringArray(const ImportContext& cx, std::vector<std::string>& strArray);
// The same for elements that `text` writes out for the log.
template <class T, class Text>
void ReverseStringArray(const ImportContext& cx, std::vector<T>& items, Text&& text) {
  if (items.size() < 2) return;
  std::reverse(items.begin(), items.end());
  WriteImportLog(cx, "Sorting array ...");
  for (size_t i = 0; i < items.size(); ++i) WriteImportLog(cx, fmt::format("{}---->{}", i, text(items[i])));
}

// "Unexpected Error.Error Number: N" + "Description: TEXT", the report of an
// unexpected failure inside ImportLogicPack and VerifyUserSelections.
std::string UnexpectedErrorReport(const ComError& e);

}  // namespace kestrel::importer
