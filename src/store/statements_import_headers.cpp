// Statement texts of the profile header import: free VRCs, header and development VRC rows, owner
// assignment.
#include "store/statements_import_headers.h"

#include "store/sql.h"

namespace kestrel::store {

std::string SelectProfileByJoinedVrc(Dialect d, std::string_view vers, std::string_view rele,
                                     std::string_view cust) {
  const std::string p(sql::Concat(d));
  return "select * from qzmap100 where vers" + p + "rele" + p + "cust = '" + sql::Text(vers) + sql::Text(rele) +
         sql::Text(cust) + "'";
}

std::string SelectProfilesOfApplicationPair(Dialect, std::string_view sapp, std::string_view tapp) {
  return "select * from qzmap100 where sapp='" + sql::Text(sapp) + "' and tapp='" + sql::Text(tapp) + "'";
}

std::string InsertProfileHeader(Dialect d, const ProfileHeaderValues& v) {
  return "insert into qzmap100 (mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,"
         "dsca,scme,deph,ownr,apln) values (" +
         sql::Number(v.mprf) + ",'" + sql::Text(v.sapp) + "','" + sql::Text(v.tapp) + "','" + sql::Text(v.vers) + "','" +
         sql::Text(v.rele) + "','" + sql::Text(v.cust) + "','" + sql::Text(v.verf) + "','" + sql::Text(v.relf) + "','" +
         sql::Text(v.cusf) + "','" + sql::Text(v.dsca) + "','" + sql::Text(v.scme) + "'," + sql::Number(v.deph) + "," +
         sql::CastToBinary(d, sql::Quoted(v.owner)) + ",'" + sql::Text(v.apln) + "')";
}

std::string InsertDevelopmentVrc(Dialect, int64_t mprf, std::string_view vers, std::string_view rele,
                                 std::string_view cust, std::string_view dver, std::string_view drel,
                                 std::string_view dcus) {
  return "insert into qzmap105 (mprf,vers,rele,cust,dver,drel,dcus) values (" + sql::Number(mprf) + ",'" +
         sql::Text(vers) + "','" + sql::Text(rele) + "','" + sql::Text(cust) + "','" + sql::Text(dver) + "','" + sql::Text(drel) +
         "','" + sql::Text(dcus) + "')";
}

std::string SelectStoredUser(Dialect d, std::string_view name) {
  const std::string user = sql::CastToText(d, "usrn");
  return "select distinct " + user + " from qzusr100 where " + user + "='" + sql::Text(name) + "'";
}

std::string SelectUserAssignment(Dialect d, std::string_view user, int64_t mprf) {
  const std::string usrn = sql::CastToText(d, "usrn");
  const std::string number = sql::CastToInt(d, "mprf");
  return "select " + usrn + "," + number + " from qzusr110 where " + usrn + "='" + sql::Text(user) + "'" + " and " +
         number + " =" + sql::Number(mprf);
}

std::string InsertUserAssignment(Dialect d, std::string_view user, int64_t mprf) {
  return "insert into qzusr110 (usrn,mprf) values(" + sql::CastToBinary(d, sql::Quoted(user)) + "," +
         sql::CastToBinary(d, sql::Number(mprf)) + ")";
}

}  // namespace kestrel::store
