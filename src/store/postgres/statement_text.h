// What the PostgreSQL backend reads from the text of a statement before it
// sends it: whether it is one statement, what kind it is, and which table it
// adds rows to or deletes them from.
#pragma once

#include <string>
#include <string_view>

namespace kestrel::store::postgres {

// The statement without the ";" and blanks that may end it. A text holding a
// second statement after a ";" (outside quotes and comments) raises
// Ours::StatementNotSingle.
std::string_view SingleStatement(std::string_view text);

enum class StatementKind {
  Read,     // select, values, show, fetch, ...
  Write,    // changes rows or tables: takes the store's write lock
  Control,  // begin, commit, rollback, savepoint, release, set; and what
            // cannot run inside a transaction (create database, vacuum)
};
StatementKind KindOf(std::string_view statement);

// The table that "insert into T ..." or "delete from T ..." (a "with ..."
// before it allowed) changes, unquoted and without its schema; "" for other
// statements.
std::string TableChanged(std::string_view statement);

}  // namespace kestrel::store::postgres
