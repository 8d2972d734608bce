// Profile and application look-ups shared by export and import.
#include "store/statements_profiles.h"

#include "store/sql.h"

namespace Kestrel20ImpExp::store {

using namespace sql;

std::string SelectProfile(Dialect, int64_t mprf) { return "select * from qzmap100 where mprf = " + Number(mprf); }

std::string SelectProfileByVrc(Dialect, std::string_view vers, std::string_view rele, std::string_view cust) {
  return "select * from qzmap100 where vers='" + Text(vers) + "' and rele='" + Text(rele) + "' and cust='" +
         Text(cust) + "'";
}

std::string SelectApplicationRows(Dialect, std::string_view table, std::string_view appl) {
  return "select * from " + std::string(table) + " where appl='" + Text(appl) + "'";
}

std::string SelectParentLevelRow(Dialect, int64_t mprf) {
  return "select * from qzmap101 where levl=2 and mprf = " + Number(mprf);
}

}  // namespace Kestrel20ImpExp::store
