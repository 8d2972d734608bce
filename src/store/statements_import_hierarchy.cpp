// Statement texts of the derivation hierarchy: chain rows in qzmap101 and the depth of profiles.
#include "store/statements_import_hierarchy.h"

#include "store/sql.h"

namespace kestrel::store {

std::string SelectProfileVrc(Dialect, int64_t mprf) {
  return "Select vers,rele,cust from qzmap100 where mprf = " + sql::Number(mprf);
}

std::string SelectDerivedProfiles(Dialect, int64_t pprf) {
  return "select mprf from qzmap101 where pprf = " + sql::Number(pprf);
}

std::string SelectChainRow(Dialect d, int64_t mprf, int64_t levl) {
  return "select * from qzmap101 where mprf = " + sql::NumberBeforeWord(d, mprf) + "and levl = " + sql::Number(levl);
}

std::string SelectParentProfileByVrc(Dialect, std::string_view verf, std::string_view relf,
                                     std::string_view cusf) {
  return "select * from qzmap100 where vers='" + sql::Text(verf) + "' and rele='" + sql::Text(relf) + "' and cust ='" +
         sql::Text(cusf) + "'";
}

std::string SelectAncestorLevel(Dialect, int64_t ancestor, int64_t descendant) {
  return "select levl from qzmap101 where levl > 1 and pprf =" + sql::Number(ancestor) +
         " and mprf =" + sql::Number(descendant);
}

std::string DeleteChainRowsAbove(Dialect, int64_t mprf, int64_t levl) {
  return "delete from qzmap101 where mprf = " + sql::Number(mprf) + " and levl > " + sql::Number(levl);
}

std::string InsertChainRow(Dialect, int64_t mprf, int64_t levl, std::string_view vers, std::string_view rele,
                           std::string_view cust, int64_t pprf) {
  return "insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values ( " + sql::Number(mprf) + "," +
         sql::Number(levl) + ",'" + sql::Text(vers) + "','" + sql::Text(rele) + "','" + sql::Text(cust) + "'," + sql::Number(pprf) + ")";
}

std::string UpdateProfileDepth(Dialect, int64_t mprf, int64_t deph) {
  return "update qzmap100 set deph =" + sql::Number(deph) + " where mprf= " + sql::Number(mprf);
}

std::string SelectParentChainRow(Dialect, int64_t mprf) {
  return "select * from qzmap101 where mprf=" + sql::Number(mprf) + " and levl=2";
}

}  // namespace kestrel::store
