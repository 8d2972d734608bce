// Statement texts that delete the profiles and applications an import replaces.
#include "store/statements_import_transaction.h"

#include <fmt/format.h>

#include "store/sql.h"

namespace kestrel::store {

std::string DeleteProfileRows(Dialect d, std::string_view table, int64_t mprf) {
  // A binary number equals no integer in SQLite or PostgreSQL; the cast reads it back.
  std::string column = d != Dialect::TSql && table == "qzusr110" ? sql::CastToInt(d, "mprf") : "mprf";
  return fmt::format("delete from {} where {}={}", table, column, sql::Number(mprf));
}

std::string DeleteApplicationRows(Dialect, std::string_view table, std::string_view appl) {
  return fmt::format("delete from {} where appl='{}'", table, sql::Text(appl));
}

}  // namespace kestrel::store
