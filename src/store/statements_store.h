// Statements of this system's own store machinery (the recordset's adding and
// changing of rows, init-store, demo-store, counts): they are not the
// component's).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// "insert into T (c1,c2) values (?,?)": a prepared insert of whole rows;
// of `rows` rows "values (?,?),(?,?)", the parameters numbered row by row.
std::string InsertRowWithParameters(Dialect d, std::string_view table, std::span<const std::string_view> columns,
                                    size_t rows = 1);
// The recordset's insert of an added row: as InsertRowWithParameters, and
// the row's new sql::RowId handed back where the store needs that.
std::string InsertRowKeepingRowId(Dialect d, std::string_view table, std::span<const std::string_view> columns);
// "update T set c1=?,c2=? where rowid=?": the recordset's change of a found
// row by the sql::RowId it fetched (handing the new one back where it moves).
std::string UpdateRowByRowid(Dialect d, std::string_view table, std::span<const std::string_view> columns);
// The columns of a SQLite table (as "name") that an insert leaving them out
// fills with NULL: no default of their own, and not computed by the store.
std::string SelectColumnsDefaultingToNull(std::string_view table);
// Every row of a table in the order it was stored.
std::string SelectAllRowsInStoredOrder(Dialect d, std::string_view table);
// The number of rows of a table.
std::string CountRows(std::string_view table);

}  // namespace kestrel::store
