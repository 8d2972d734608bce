// Statement texts of the selection check: which applications and profiles the store already holds.
#include "store/statements_import_selection.h"

#include "store/sql.h"

namespace kestrel::store {

std::string SelectApplicationCode(Dialect, std::string_view appl) {
  return "select appl from qzddi100 where appl = '" + sql::Text(appl) + "'";
}

std::string SelectProfilesWithApplications(Dialect, std::string_view sapp, std::string_view tapp) {
  return "select * from qzmap100 where sapp = '" + sql::Text(sapp) + "' and tapp='" + sql::Text(tapp) + "'";
}

}  // namespace kestrel::store
