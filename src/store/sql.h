// The one place that renders values and dialect differences into statement
// text. Every statement builder (statements_*.h) composes its text from fixed
// fragments and these helpers, so that the T-SQL rendering is the statement
// as the component always wrote it and the SQLite and PostgreSQL renderings
// differ only where those stores need it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store::sql {

// A text value for a place between single quotes: every embedded quote is
// doubled (a value without quotes is unchanged).
std::string Text(std::string_view value);
// The value between single quotes: "'" + Text(value) + "'".
std::string Quoted(std::string_view value);

// A number as plain decimal digits, rendered from the integer.
std::string Number(int64_t n);
// A number that a word follows directly ("12and levl = 1"): SQLite and
// PostgreSQL refuse such a token, so it gets a blank after the number there.
std::string NumberBeforeWord(Dialect d, int64_t n);
// Profile numbers joined by "," for "mprf in (...)": "40,31,12".
std::string NumberList(std::span<const int64_t> numbers);

// The place of the n-th (1-based) bound value of a statement: "?" in SQLite
// (and in T-SQL, whose statements carry their values in the text otherwise),
// "$n" in PostgreSQL.
std::string Placeholder(Dialect d, size_t n);
// The parameters of `rows` rows of `columns` values, numbered row by row:
// "(?,?),(?,?)" or "($1,$2),($3,$4)".
std::string ParameterRows(Dialect d, size_t columns, size_t rows);

// A text value of a parameterized statement (Query): in T-SQL written into
// the text between quotes as Quoted writes it; elsewhere a placeholder in
// the text and the value appended to the query's values.
void AppendText(Query& q, Dialect d, std::string_view value);

// The text concatenation operator: "+" in T-SQL, "||" in SQLite and PostgreSQL.
std::string_view Concat(Dialect d);

// Reading a binary column as text: "cast(x as varchar)"; SQLite "cast(x as
// text)"; PostgreSQL "convert_from(x, 'LATIN1')", which keeps every byte
// (its cast to text would write the bytes out as hex digits).
std::string CastToText(Dialect d, std::string_view expr);
// Writing text or a number into a binary column: "cast(x as varbinary)";
// SQLite "cast(x as blob)" (its "varbinary" would mean NUMERIC: '007' -> 7);
// PostgreSQL "convert_to(cast(x as text), 'LATIN1')" (its cast of a text to
// bytea would read backslashes as escapes).
std::string CastToBinary(Dialect d, std::string_view expr);
// Reading a binary column as a number: "cast(x as int)" in T-SQL and SQLite;
// PostgreSQL reads the bytes as text first, through encode(x, 'escape'),
// which keeps digits as they are and, unlike convert_from, may be indexed.
std::string CastToInt(Dialect d, std::string_view expr);

// " limit 1" after a select that needs one row at most; T-SQL says "top 1"
// at the front instead and gets "".
std::string_view LimitOne(Dialect d);

// The order of a read whose rows reach a pack file. SQLite returns the rows
// of a search in the order of the index it walks, rows of one key in rowid
// order; PostgreSQL in whatever order its plan meets them. So that both
// stores write the same pack, PostgreSQL gets " order by" the index's
// columns of `table` (texts compared byte by byte, empty values first as
// SQLite sorts them) and then the order the rows were added in (as SQLite's
// rowid orders rows of one key); `columns` "" orders by that alone. T-SQL
// and SQLite get "".
std::string StoredOrder(Dialect d, std::string_view table, std::string_view columns);
// The keys of that order without " order by " ("mprf nulls first, tcpac
// nulls first, kestrel_row" on the server; "mprf, tcpac, rowid" elsewhere,
// where NULL sorts first anyway). PostgreSQL's indexes are made on these
// keys, so that a read in stored order walks its index instead of sorting.
std::string StoredOrderKeys(Dialect d, std::string_view table, std::string_view columns);

// A select joining two reads, for PostgreSQL marked to be planned with
// nested loops switched off (the server backend does so for that statement
// alone); other stores get it unchanged. Without statistics of its tables
// (a store just filled) PostgreSQL takes either side for a row or two and
// may read the other side once per row of it; with the mark it hashes one
// side and reads each once.
std::string JoinedByHashing(Dialect d, std::string select);
inline constexpr std::string_view kJoinedByHashingMark = "/* joined by hashing */ ";

// What numbers a store table's rows in the order they were added: SQLite's
// rowid; on PostgreSQL a column of the store's own (kInsertionOrderColumn),
// since a row's place (ctid) follows that order only until deleted rows
// leave room for new ones. No reader of the store sees the column.
inline constexpr std::string_view kInsertionOrderColumn = "kestrel_row";
std::string_view InsertionOrder(Dialect d);

}  // namespace kestrel::store::sql
