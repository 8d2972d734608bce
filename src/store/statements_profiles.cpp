// Profile and application look-ups shared by export and import.
#include "store/statements_profiles.h"

#include <fmt/format.h>

#include "store/sql.h"

namespace kestrel::store {

std::string SelectProfile(Dialect, int64_t mprf) {
  return fmt::format("select * from qzmap100 where mprf = {}", sql::Number(mprf));
}

std::string SelectProfileByVrc(Dialect, std::string_view vers, std::string_view rele, std::string_view cust) {
  return fmt::format("select * from qzmap100 where vers='{}' and rele='{}' and cust='{}'", sql::Text(vers),
                     sql::Text(rele), sql::Text(cust));
}

std::string SelectApplicationRows(Dialect d, std::string_view table, std::string_view appl) {
  return fmt::format("select * from {} where appl='{}'{}", table, sql::Text(appl), sql::StoredOrder(d, table, ""));
}

std::string SelectParentLevelRow(Dialect, int64_t mprf) {
  return fmt::format("select * from qzmap101 where levl=2 and mprf = {}", sql::Number(mprf));
}

}  // namespace kestrel::store
