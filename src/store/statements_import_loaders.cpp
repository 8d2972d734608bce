// Statement texts of the rule, library and function loaders.
#include "store/statements_import_loaders.h"

#include <fmt/format.h>

#include "store/sql.h"

namespace kestrel::store {

std::string SelectLibraryFunction(Dialect, int64_t mprf, std::string_view vers, std::string_view rele,
                                  std::string_view cust, std::string_view fnam) {
  return fmt::format("select * from qzlib100 where mprf = {} and vers='{}' and rele='{}' and cust='{}' and fnam='{}'",
                     sql::Number(mprf), sql::Text(vers), sql::Text(rele), sql::Text(cust), sql::Text(fnam));
}

std::string SelectLibraryRevision(Dialect, int64_t mprf, std::string_view vers, std::string_view rele,
                                  std::string_view cust, std::string_view fnam, int64_t revi) {
  return fmt::format(
      "select * from qzlib105 where mprf = {} and vers='{}' and rele='{}' and cust='{}' and fnam='{}' and revi={}",
      sql::Number(mprf), sql::Text(vers), sql::Text(rele), sql::Text(cust), sql::Text(fnam), sql::Number(revi));
}

std::string SelectSharedFunction(Dialect, std::string_view func) {
  return fmt::format("select * from qzmap150 where func='{}'", sql::Text(func));
}

}  // namespace kestrel::store
