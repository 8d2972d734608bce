// Statements of the export: the profile drivers, the rule table writers, the
// application data, library and function writers and the mapping object
// export (its reads of the rule tables are in statements_export_objects.h).
// Profile lists are the numbers of the exported profiles, rendered
// as "40,31,12".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// The export driver's check of the profile: its header with the owner read
// as text, the number compared as quoted text ("where mprf ='12'").
std::string SelectProfileToExport(Dialect d, int64_t mprf);

// The 18 header fields of a profile, owner read as text, for "Qzmap100.dat":
// by number as the chain export asks ("where mprf=12") ...
std::string SelectChainProfileHeader(Dialect d, int64_t mprf);
// ... by the VRC the chain export follows upwards ...
std::string SelectChainProfileHeaderByVrc(Dialect d, std::string_view vers, std::string_view rele,
                                          std::string_view cust);
// ... and by number as the single-profile export asks ("where mprf = 12").
std::string SelectSingleProfileHeader(Dialect d, int64_t mprf);

// The development VRC rows of one profile ("where mprf= 12").
std::string SelectDevelopmentVrcRows(Dialect d, int64_t mprf);

// Current rules of the listed profiles (qzmap120, 130, 140, 160, 170):
// "select * from T where mprf in (L) ", then, unless the export is for
// synchronisation, the development VRC exclusion.
std::string SelectCurrentRules(Dialect d, std::string_view table, std::span<const int64_t> profiles,
                               bool exclude_development_vrcs);
// All rows of the listed profiles in a chain, development VRC or revision
// table (qzmap101, 105, 110, 125, 135, 145, 165, 175): no exclusion, no
// blank after the list.
std::string SelectProfileRows(Dialect d, std::string_view table, std::span<const int64_t> profiles);

// The whole code table and the whole shared function table.
std::string SelectAllCodes(Dialect d);
std::string SelectAllFunctions(Dialect d);

// Library rows (qzlib100 or qzlib105) of the listed profiles outside their
// development VRCs.
std::string SelectLibraryRows(Dialect d, std::string_view table, std::span<const int64_t> profiles);
// The profile numbers of a profile's chain rows ("select pprf ...").
std::string SelectChainProfileNumbers(Dialect d, int64_t mprf);
// The names of the library functions of the listed profiles.
std::string SelectLibraryFunctionNames(Dialect d, std::span<const int64_t> profiles);
// Every version of one function in the listed profiles outside development
// VRCs, the highest profile number first.
std::string SelectLibraryFunctionVersions(Dialect d, std::string_view fnam, std::span<const int64_t> profiles);
// The revisions of one function in one profile ("and mprf =12").
std::string SelectLibraryFunctionRevisions(Dialect d, std::string_view fnam, int64_t mprf);

// The extn of an application.
std::string SelectApplicationExtn(Dialect d, std::string_view appl);
// The profiles whose source or target application is `appl`, lowest first.
std::string SelectProfilesOfApplication(Dialect d, std::string_view appl);

}  // namespace kestrel::store
