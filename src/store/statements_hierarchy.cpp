// Statements of the derivation hierarchy.
#include "store/statements_hierarchy.h"

namespace Kestrel20ImpExp::store::chain {
namespace {
std::string Number(int64_t n) { return std::to_string(n); }
std::string Text(std::string_view text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}
}  // namespace

std::string SelectProfileVrc(Dialect, int64_t mprf) {
  return "Select vers,rele,cust from qzmap100 where mprf = " + Number(mprf);
}
std::string SelectDerivedProfiles(Dialect, int64_t pprf) {
  return "select mprf from qzmap101 where pprf = " + Number(pprf);
}
std::string SelectChainRow(Dialect d, int64_t mprf, int64_t levl) {
  return "select * from qzmap101 where mprf = " + Number(mprf) + (d == Dialect::TSql ? "" : " ") + "and levl = " +
         Number(levl);
}
std::string SelectParentProfileByVrc(Dialect, std::string_view verf, std::string_view relf,
                                     std::string_view cusf) {
  return "select * from qzmap100 where vers='" + Text(verf) + "' and rele='" + Text(relf) + "' and cust ='" +
         Text(cusf) + "'";
}
std::string SelectAncestorLevel(Dialect, int64_t ancestor, int64_t descendant) {
  return "select levl from qzmap101 where levl > 1 and pprf =" + Number(ancestor) + " and mprf =" +
         Number(descendant);
}
std::string DeleteChainRowsAbove(Dialect, int64_t mprf, int64_t levl) {
  return "delete from qzmap101 where mprf = " + Number(mprf) + " and levl > " + Number(levl);
}
std::string InsertChainRow(Dialect, int64_t mprf, int64_t levl, std::string_view vers, std::string_view rele,
                           std::string_view cust, int64_t pprf) {
  return "insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values ( " + Number(mprf) + "," +
         Number(levl) + ",'" + Text(vers) + "','" + Text(rele) + "','" + Text(cust) + "'," + Number(pprf) + ")";
}
std::string UpdateProfileDepth(Dialect, int64_t mprf, int64_t deph) {
  return "update qzmap100 set deph =" + Number(deph) + " where mprf= " + Number(mprf);
}
std::string SelectParentChainRow(Dialect, int64_t mprf) {
  return "select * from qzmap101 where mprf=" + Number(mprf) + " and levl=2";
}
std::string SelectParentLevelRow(Dialect, int64_t mprf) {
  return "select * from qzmap101 where levl=2 and mprf = " + Number(mprf);
}

}  // namespace Kestrel20ImpExp::store::chain
