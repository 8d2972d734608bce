// Statement texts of the rule, library and function loaders.
#include "store/statements_import_loaders.h"

#include "store/sql.h"

namespace kestrel::store {

std::string SelectNoRows(Dialect, std::string_view table) {
  return "select * from " + std::string(table) + " where 1=2";
}

std::string SelectLibraryFunction(Dialect, int64_t mprf, std::string_view vers, std::string_view rele,
                                  std::string_view cust, std::string_view fnam) {
  return "select * from qzlib100 where mprf = " + sql::Number(mprf) + " and vers='" + sql::Text(vers) + "' and rele='" +
         sql::Text(rele) + "' and cust='" + sql::Text(cust) + "' and fnam='" + sql::Text(fnam) + "'";
}

std::string SelectLibraryRevision(Dialect, int64_t mprf, std::string_view vers, std::string_view rele,
                                  std::string_view cust, std::string_view fnam, int64_t revi) {
  return "select * from qzlib105 where mprf = " + sql::Number(mprf) + " and vers='" + sql::Text(vers) + "' and rele='" +
         sql::Text(rele) + "' and cust='" + sql::Text(cust) + "' and fnam='" + sql::Text(fnam) + "' and revi=" + sql::Number(revi);
}

std::string SelectSharedFunction(Dialect, std::string_view func) {
  return "select * from qzmap150 where func='" + sql::Text(func) + "'";
}

}  // namespace kestrel::store
