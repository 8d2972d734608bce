// Profile and application look-ups shared by export and import.
#include "store/statements_profiles.h"

#include "store/sql.h"

namespace kestrel::store {

std::string SelectProfile(Dialect, int64_t mprf) { return "select * from qzmap100 where mprf = " + sql::Number(mprf); }

std::string SelectProfileByVrc(Dialect, std::string_view vers, std::string_view rele, std::string_view cust) {
  return "select * from qzmap100 where vers='" + sql::Text(vers) + "' and rele='" + sql::Text(rele) + "' and cust='" +
         sql::Text(cust) + "'";
}

std::string SelectApplicationRows(Dialect d, std::string_view table, std::string_view appl) {
  return "select * from " + std::string(table) + " where appl='" + sql::Text(appl) + "'" +
         sql::StoredOrder(d, table, "");
}

std::string SelectParentLevelRow(Dialect, int64_t mprf) {
  return "select * from qzmap101 where levl=2 and mprf = " + sql::Number(mprf);
}

}  // namespace kestrel::store
