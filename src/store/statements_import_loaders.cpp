// Statement texts of the rule, library and function loaders.
#include "store/statements_import_loaders.h"

#include "store/sql.h"

namespace Kestrel20ImpExp::store {

using namespace sql;

std::string SelectNoRows(Dialect, std::string_view table) {
  return "select * from " + std::string(table) + " where 1=2";
}

std::string SelectLibraryFunction(Dialect, int64_t mprf, std::string_view vers, std::string_view rele,
                                  std::string_view cust, std::string_view fnam) {
  return "select * from qzlib100 where mprf = " + Number(mprf) + " and vers='" + Text(vers) + "' and rele='" +
         Text(rele) + "' and cust='" + Text(cust) + "' and fnam='" + Text(fnam) + "'";
}

std::string SelectLibraryRevision(Dialect, int64_t mprf, std::string_view vers, std::string_view rele,
                                  std::string_view cust, std::string_view fnam, int64_t revi) {
  return "select * from qzlib105 where mprf = " + Number(mprf) + " and vers='" + Text(vers) + "' and rele='" +
         Text(rele) + "' and cust='" + Text(cust) + "' and fnam='" + Text(fnam) + "' and revi=" + Number(revi);
}

std::string SelectSharedFunction(Dialect, std::string_view func) {
  return "select * from qzmap150 where func='" + Text(func) + "'";
}

}  // namespace Kestrel20ImpExp::store
