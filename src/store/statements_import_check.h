// Statements through which the check before an import reads the target
// store's own schema (the keys on which a table refuses a second equal row)
// and its rows under such a key.
// Callers pass a plain table name (letters, digits, underscore).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/connection.h"

namespace kestrel::store {

// The columns of every unique key of `table` (its primary key and each
// unique index or constraint), one row per column: "keyn" names the key,
// "coln" the column (NULL for an expression), in the key's own order within
// each key, the keys one after another.
std::string SelectUniqueKeyColumns(Dialect d, std::string_view table);

// The declared type of every column of `table`: "coln" names the column,
// "typen" gives its type as declared, with the width in parentheses where
// the type has one ("varchar(12)"; SQLite keeps the declaration's text).
std::string SelectColumnTypes(Dialect d, std::string_view table);

// Whether `table` holds a row whose `columns` equal `values` (one row of one
// column when it does, none when not), rows whose "appl" is one of
// `left_out_applications` not counted (none when the list is empty).
Query SelectRowWithKey(Dialect d, std::string_view table, const std::vector<std::string>& columns,
                       const std::vector<std::string>& values, const std::vector<std::string>& left_out_applications);

}  // namespace kestrel::store
