// Statement texts of the derivation hierarchy: chain rows in qzmap101 and the depth of profiles.
#include "store/statements_import_hierarchy.h"

#include <fmt/format.h>

#include "store/sql.h"

namespace kestrel::store {

std::string SelectProfileVrc(Dialect, int64_t mprf) {
  return fmt::format("Select vers,rele,cust from qzmap100 where mprf = {}", mprf);
}

std::string SelectDerivedProfiles(Dialect, int64_t pprf) {
  return fmt::format("select mprf from qzmap101 where pprf = {}", pprf);
}

std::string SelectChainRow(Dialect d, int64_t mprf, int64_t levl) {
  return fmt::format("select * from qzmap101 where mprf = {}and levl = {}", sql::NumberBeforeWord(d, mprf), levl);
}

std::string SelectParentProfileByVrc(Dialect, std::string_view verf, std::string_view relf,
                                     std::string_view cusf) {
  return fmt::format("select * from qzmap100 where vers='{}' and rele='{}' and cust ='{}'", sql::Text(verf),
                     sql::Text(relf), sql::Text(cusf));
}

std::string SelectAncestorLevel(Dialect, int64_t ancestor, int64_t descendant) {
  return fmt::format("select levl from qzmap101 where levl > 1 and pprf ={} and mprf ={}", ancestor, descendant);
}

std::string DeleteChainRowsAbove(Dialect, int64_t mprf, int64_t levl) {
  return fmt::format("delete from qzmap101 where mprf = {} and levl > {}", mprf, levl);
}

std::string InsertChainRow(Dialect, int64_t mprf, int64_t levl, std::string_view vers, std::string_view rele,
                           std::string_view cust, int64_t pprf) {
  return fmt::format("insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values ( {},{},'{}','{}','{}',{})",
                     mprf, levl, sql::Text(vers), sql::Text(rele), sql::Text(cust), pprf);
}

std::string UpdateProfileDepth(Dialect, int64_t mprf, int64_t deph) {
  return fmt::format("update qzmap100 set deph ={} where mprf= {}", deph, mprf);
}

std::string SelectParentChainRow(Dialect, int64_t mprf) {
  return fmt::format("select * from qzmap101 where mprf={} and levl=2", mprf);
}

}  // namespace kestrel::store
