// Statements of this system's own store machinery (the recordset's adding and
// changing of rows, init-store, demo-store, counts): they are not the
// component's, and run on the embedded store only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// "insert into T (c1,c2) values (?,?)": a prepared insert of whole rows.
std::string InsertRowWithParameters(Dialect d, std::string_view table, std::span<const std::string_view> columns);
// "update T set c1=?,c2=? where rowid=?": the SQLite recordset's change of a
// found row by the rowid it fetched.
std::string UpdateRowByRowid(std::string_view table, std::span<const std::string_view> columns);
// Every row of a table in the order it was stored.
std::string SelectAllRowsInStoredOrder(std::string_view table);
// The number of rows of a table.
std::string CountRows(std::string_view table);

}  // namespace kestrel::store
