// Statement texts of the deletion and the renumbering of a stored profile.
#include "store/statements_profile_edits.h"

#include <fmt/format.h>

#include "store/sql.h"

namespace kestrel::store {

std::string SelectChildProfiles(Dialect, int64_t mprf) {
  return fmt::format("select mprf from qzmap101 where levl=2 and pprf={} order by mprf", sql::Number(mprf));
}

std::string RenumberProfileRows(Dialect d, std::string_view table, int64_t from, int64_t to) {
  if (d != Dialect::TSql && table == "qzusr110")
    return fmt::format("update qzusr110 set mprf={} where {}={}", sql::CastToBinary(d, sql::Number(to)),
                       sql::CastToInt(d, "mprf"), sql::Number(from));
  return fmt::format("update {} set mprf={} where mprf={}", table, sql::Number(to), sql::Number(from));
}

std::string RenumberChainLevels(Dialect, int64_t from, int64_t to) {
  return fmt::format("update qzmap101 set pprf={} where pprf={}", sql::Number(to), sql::Number(from));
}

}  // namespace kestrel::store
