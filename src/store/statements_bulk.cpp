// Statement texts of the bulk loader.
#include "store/statements_bulk.h"

#include "store/sql.h"

namespace kestrel::store {

std::string InsertBulkRow(Dialect d, std::string_view table, size_t columns, size_t rows) {
  return "insert into " + std::string(table) + " values " + sql::ParameterRows(d, columns, rows);
}

}  // namespace kestrel::store
