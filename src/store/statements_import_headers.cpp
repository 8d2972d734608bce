// Statement texts of the profile header import: free VRCs, header and development VRC rows, owner
// assignment.
#include "store/statements_import_headers.h"

#include <fmt/format.h>

#include "store/sql.h"

namespace kestrel::store {

std::string SelectProfileByJoinedVrc(Dialect d, std::string_view vers, std::string_view rele,
                                     std::string_view cust) {
  return fmt::format("select * from qzmap100 where vers{0}rele{0}cust = '{1}{2}{3}'", sql::Concat(d), sql::Text(vers),
                     sql::Text(rele), sql::Text(cust));
}

std::string SelectProfilesOfApplicationPair(Dialect, std::string_view sapp, std::string_view tapp) {
  return fmt::format("select * from qzmap100 where sapp='{}' and tapp='{}'", sql::Text(sapp), sql::Text(tapp));
}

std::string InsertProfileHeader(Dialect d, const ProfileHeaderValues& v) {
  return fmt::format(
      "insert into qzmap100 (mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,ownr,apln) values "
      "({},'{}','{}','{}','{}','{}','{}','{}','{}','{}','{}',{},{},'{}')",
      v.mprf, sql::Text(v.sapp), sql::Text(v.tapp), sql::Text(v.vers), sql::Text(v.rele), sql::Text(v.cust),
      sql::Text(v.verf), sql::Text(v.relf), sql::Text(v.cusf), sql::Text(v.dsca), sql::Text(v.scme), v.deph,
      sql::CastToBinary(d, sql::Quoted(v.owner)), sql::Text(v.apln));
}

std::string InsertDevelopmentVrc(Dialect, int64_t mprf, std::string_view vers, std::string_view rele,
                                 std::string_view cust, std::string_view dver, std::string_view drel,
                                 std::string_view dcus) {
  return fmt::format(
      "insert into qzmap105 (mprf,vers,rele,cust,dver,drel,dcus) values ({},'{}','{}','{}','{}','{}','{}')", mprf,
      sql::Text(vers), sql::Text(rele), sql::Text(cust), sql::Text(dver), sql::Text(drel), sql::Text(dcus));
}

std::string SelectStoredUser(Dialect d, std::string_view name) {
  return fmt::format("select distinct {0} from qzusr100 where {0}='{1}'", sql::CastToText(d, "usrn"), sql::Text(name));
}

std::string SelectUserAssignment(Dialect d, std::string_view user, int64_t mprf) {
  return fmt::format("select {0},{1} from qzusr110 where {0}='{2}' and {1} ={3}", sql::CastToText(d, "usrn"),
                     sql::CastToInt(d, "mprf"), sql::Text(user), mprf);
}

std::string InsertUserAssignment(Dialect d, std::string_view user, int64_t mprf) {
  return fmt::format("insert into qzusr110 (usrn,mprf) values({},{})", sql::CastToBinary(d, sql::Quoted(user)),
                     sql::CastToBinary(d, sql::Number(mprf)));
}

}  // namespace kestrel::store
