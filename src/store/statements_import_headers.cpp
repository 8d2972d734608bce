// Statement texts of the profile header import: free VRCs, header and development VRC rows, owner
// assignment.
#include "store/statements_import_headers.h"

#include "store/sql.h"

namespace Kestrel20ImpExp::store {

using namespace sql;

std::string SelectProfileByJoinedVrc(Dialect d, std::string_view vers, std::string_view rele,
                                     std::string_view cust) {
  const std::string p(Concat(d));
  return "select * from qzmap100 where vers" + p + "rele" + p + "cust = '" + Text(vers) + Text(rele) +
         Text(cust) + "'";
}

std::string SelectProfilesOfApplicationPair(Dialect, std::string_view sapp, std::string_view tapp) {
  return "select * from qzmap100 where sapp='" + Text(sapp) + "' and tapp='" + Text(tapp) + "'";
}

std::string InsertProfileHeader(Dialect d, const ProfileHeaderValues& v) {
  return "insert into qzmap100 (mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,"
         "dsca,scme,deph,ownr,apln) values (" +
         Number(v.mprf) + ",'" + Text(v.sapp) + "','" + Text(v.tapp) + "','" + Text(v.vers) + "','" +
         Text(v.rele) + "','" + Text(v.cust) + "','" + Text(v.verf) + "','" + Text(v.relf) + "','" +
         Text(v.cusf) + "','" + Text(v.dsca) + "','" + Text(v.scme) + "'," + Number(v.deph) + "," +
         CastToBinary(d, Quoted(v.owner)) + ",'" + Text(v.apln) + "')";
}

std::string InsertDevelopmentVrc(Dialect, int64_t mprf, std::string_view vers, std::string_view rele,
                                 std::string_view cust, std::string_view dver, std::string_view drel,
                                 std::string_view dcus) {
  return "insert into qzmap105 (mprf,vers,rele,cust,dver,drel,dcus) values (" + Number(mprf) + ",'" +
         Text(vers) + "','" + Text(rele) + "','" + Text(cust) + "','" + Text(dver) + "','" + Text(drel) +
         "','" + Text(dcus) + "')";
}

std::string SelectStoredUser(Dialect d, std::string_view name) {
  const std::string user = CastToText(d, "usrn");
  return "select distinct " + user + " from qzusr100 where " + user + "='" + Text(name) + "'";
}

std::string SelectUserAssignment(Dialect d, std::string_view user, int64_t mprf) {
  const std::string usrn = CastToText(d, "usrn");
  const std::string number = CastToInt(d, "mprf");
  return "select " + usrn + "," + number + " from qzusr110 where " + usrn + "='" + Text(user) + "'" + " and " +
         number + " =" + Number(mprf);
}

std::string InsertUserAssignment(Dialect d, std::string_view user, int64_t mprf) {
  return "insert into qzusr110 (usrn,mprf) values(" + CastToBinary(d, Quoted(user)) + "," +
         CastToBinary(d, Number(mprf)) + ")";
}

}  // namespace Kestrel20ImpExp::store
