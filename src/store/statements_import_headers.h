// Statements of the profile header import: free VRCs, header and development VRC rows, owner
// assignment.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// The profile of a VRC compared as one concatenated text.
std::string SelectProfileByJoinedVrc(Dialect d, std::string_view vers, std::string_view rele,
                                     std::string_view cust);
// The profiles of an application pair, as the header import asks
// ("where sapp='A' and tapp='B'").
std::string SelectProfilesOfApplicationPair(Dialect d, std::string_view sapp, std::string_view tapp);

// The values of a new header row; `owner` is the enciphered owner.
struct ProfileHeaderValues {
  int64_t mprf = 0;
  std::string sapp, tapp, vers, rele, cust, verf, relf, cusf, dsca, scme;
  int64_t deph = 1;
  std::string owner;
  std::string apln;
};
std::string InsertProfileHeader(Dialect d, const ProfileHeaderValues& v);
// The development VRC row of a profile.
std::string InsertDevelopmentVrc(Dialect d, int64_t mprf, std::string_view vers, std::string_view rele,
                                 std::string_view cust, std::string_view dver, std::string_view drel,
                                 std::string_view dcus);
// A stored user of that name, read as text.
std::string SelectStoredUser(Dialect d, std::string_view name);
// The assignment of a user to a profile.
std::string SelectUserAssignment(Dialect d, std::string_view user, int64_t mprf);
// Assigns a user to a profile, both written binary.
std::string InsertUserAssignment(Dialect d, std::string_view user, int64_t mprf);

}  // namespace kestrel::store
