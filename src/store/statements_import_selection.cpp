// Statement texts of the selection check: which applications and profiles the store already holds.
#include "store/statements_import_selection.h"

#include <fmt/format.h>

#include "store/sql.h"

namespace kestrel::store {

std::string SelectApplicationCode(Dialect, std::string_view appl) {
  return fmt::format("select appl from qzddi100 where appl = '{}'", sql::Text(appl));
}

std::string SelectProfilesWithApplications(Dialect, std::string_view sapp, std::string_view tapp) {
  return fmt::format("select * from qzmap100 where sapp = '{}' and tapp='{}'", sql::Text(sapp), sql::Text(tapp));
}

}  // namespace kestrel::store
