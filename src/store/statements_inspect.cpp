// The listing statements of a store.
#include "store/statements_inspect.h"

#include <fmt/format.h>

namespace kestrel::store {

std::string SelectProfileListing(Dialect) {
  return "select mprf, sapp, tapp, vers, rele, cust, dsca, deph from qzmap100 order by mprf";
}

std::string SelectDirectParents(Dialect) { return "select mprf, pprf from qzmap101 where levl = 2"; }

std::string CountRowsPerProfile(Dialect, std::string_view table) {
  return fmt::format("select mprf, count(*) from {} group by mprf", table);
}

}  // namespace kestrel::store
