// Statements of this system's own store machinery (the inserters' and keyed
// writes' texts, init-store, demo-store, counts): they are not the
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
// "update T set c1=?,c2=? where k1=? and k2=?": a keyed update, the
// parameters numbered the columns set first, then the key's.
std::string UpdateRowsByKey(Dialect d, std::string_view table, std::span<const std::string_view> columns,
                            std::span<const std::string_view> key);
// "delete from T where k1=? and k2=?": a keyed delete.
std::string DeleteRowsByKey(Dialect d, std::string_view table, std::span<const std::string_view> key);
// Every column of a table: compiled (never run) to learn its columns.
std::string SelectEveryColumn(std::string_view table);
// The columns of a SQLite table (as "name") that an insert leaving them out
// fills with a value of their own: a default, or computed by the store.
std::string SelectColumnsWithDefaults(std::string_view table);
// Every row of a table in the order it was stored.
std::string SelectAllRowsInStoredOrder(Dialect d, std::string_view table);
// The number of rows of a table.
std::string CountRows(std::string_view table);
// One text that tells a store from every other whatever location reached
// it: for SQLite the main database's file; on a server the database, the
// schema the store's tables are found in, the port and when the server
// started.
std::string SelectStoreIdentity(Dialect d);

}  // namespace kestrel::store
