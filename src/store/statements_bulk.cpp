// Statement texts of the bulk loader.
#include "store/statements_bulk.h"

#include "store/sql.h"

namespace kestrel::store {

std::string InsertBulkRow(Dialect d, std::string_view table, size_t columns, size_t rows) {
  std::string text = "insert into " + std::string(table) + " values ";
  for (size_t r = 0; r < rows; ++r) {
    text += r ? ",(" : "(";
    for (size_t i = 0; i < columns; ++i) {
      if (i) text += ',';
      text += sql::Placeholder(d, r * columns + i + 1);
    }
    text += ")";
  }
  return text;
}

}  // namespace kestrel::store
