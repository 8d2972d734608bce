// Statement texts of the bulk loader.
#include "store/statements_bulk.h"

namespace Kestrel20ImpExp::store {

std::string InsertBulkRow(Dialect, std::string_view table, size_t columns) {
  std::string text = "insert into " + std::string(table) + " values (";
  for (size_t i = 0; i < columns; ++i) text += i ? ",?" : "?";
  text += ")";
  return text;
}

}  // namespace Kestrel20ImpExp::store
