// Store look-ups of the import, one statement each, answering from the first
// row. A failing statement raises a Failure with the store's number and text:
// an answer the store could not give is no answer of "not found", and a
// selection checked or a pack imported on it would be checked against nothing.
// Internal to the import and its tests.
#pragma once

#include <cstdint>
#include <string>

#include "importer/import_context.h"
#include "base/error.h"

namespace kestrel::importer {

bool ProfileExists(const ImportContext& cx, int64_t mprf);
bool ApplicationExists(const ImportContext& cx, const std::string& appl);

struct ProfileApplications {
  std::string Source;  // sapp, "" when the profile is not stored
  std::string Target;  // tapp
};
ProfileApplications GetProfileApplications(const ImportContext& cx, int64_t mprf);

// extn of the application, -1 when the store does not hold it.
int32_t GetApplicationExtn(const ImportContext& cx, const std::string& appl);

// mprf of every profile on the pair, in the order the store returns them,
// joined by ", "; "" when there is none.
std::string ProfilesWithApplications(const ImportContext& cx, const std::string& sapp,
                                     const std::string& tapp);

}  // namespace kestrel::importer
