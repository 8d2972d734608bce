// Store look-ups of the import, one statement each, answering from the first
// row. A failing statement is trapped: its number and text go into the error
// state and the look-up answers as if nothing was found, so that one bad
// answer does not hide the other problems of a selection.
// Internal to the import and its tests.
#pragma once

#include <cstdint>
#include <string>

#include "importer/import_context.h"
#include "base/error.h"

namespace kestrel::importer {

bool ProfileExists(const ImportContext& cx, ErrorState& error, int64_t mprf);
bool ApplicationExists(const ImportContext& cx, ErrorState& error, const std::string& appl);

struct ProfileApplications {
  std::string Source;  // sapp, "" when the profile is not stored
  std::string Target;  // tapp
};
ProfileApplications GetProfileApplications(const ImportContext& cx, ErrorState& error, int64_t mprf);

// extn of the application, -1 when the store does not hold it.
int32_t GetApplicationExtn(const ImportContext& cx, ErrorState& error, const std::string& appl);

// mprf of every profile on the pair, in the order the store returns them,
// joined by ", "; "" when there is none.
std::string ProfilesWithApplications(const ImportContext& cx, ErrorState& error, const std::string& sapp,
                                     const std::string& tapp);

}  // namespace kestrel::importer
