// The one place that renders values and dialect differences into statement
// text. Every statement builder (statements_*.h) composes its text from fixed
// fragments and these helpers, so that the T-SQL rendering is the statement
// as the component always wrote it and the SQLite rendering differs only
// where SQLite needs it.
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
// A number that a word follows directly ("12and levl = 1"): SQLite refuses
// such a token, so it gets a blank after the number there.
std::string NumberBeforeWord(Dialect d, int64_t n);
// Profile numbers joined by "," for "mprf in (...)": "40,31,12".
std::string NumberList(std::span<const int64_t> numbers);

// The place of the n-th (1-based) bound value of a statement: "?" in SQLite
// (and in T-SQL, whose statements carry their values in the text otherwise).
std::string Placeholder(Dialect d, size_t n);

// A value of a parameterized statement (Query): in T-SQL written into the
// text, a text between quotes as Quoted writes it, a number as Number does;
// in SQLite a placeholder in the text and the value appended to the query's
// values.
void AppendText(Query& q, Dialect d, std::string_view value);
void AppendNumber(Query& q, Dialect d, int64_t n);

// The text concatenation operator: "+" in T-SQL, "||" in SQLite.
std::string_view Concat(Dialect d);

// Reading a binary column as text: "cast(x as varchar)"; SQLite "cast(x as text)".
std::string CastToText(Dialect d, std::string_view expr);
// Writing text or a number into a binary column: "cast(x as varbinary)";
// SQLite "cast(x as blob)" (its "varbinary" would mean NUMERIC: '007' -> 7).
std::string CastToBinary(Dialect d, std::string_view expr);
// Reading a binary column as a number: "cast(x as int)" in both.
std::string CastToInt(Dialect d, std::string_view expr);

}  // namespace kestrel::store::sql
