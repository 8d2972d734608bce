// COPY's text form, in which rows travel to the server: one line per row,
// fields apart by tabs. The bulk loader's sink writes it, and the rows that
// recordsets hold back live in it until their COPY ends; a refused group is
// read back from it to go again row by row.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/value.h"

namespace kestrel::store::postgres {

// Appends a field as COPY's text format reads it back: backslash, tab, CR
// and LF escaped, a bytea value in hex form, an empty field NULL ("\N").
void AppendCopyField(std::string& out, std::string_view field, bool binary);
// Appends a value as a write takes it (store/row_writes.h), in the same
// text form: NULL as "\N", an empty text as an empty field, numbers in
// decimal.
void AppendCopyValue(std::string& out, const Value& v, bool binary);
// The fields of one line of COPY text (without its LF), as AppendCopyValue
// or the server's COPY ... TO writes it: each field's bytes with their
// escapes undone, and whether it is NULL ("\N"). The vectors keep their
// storage from line to line. An escape COPY never writes raises
// Ours::Internal.
void SplitCopyLine(std::string_view line, std::vector<std::string>& fields, std::vector<uint8_t>& nulls);
// Appends the first `fields` fields of a line of COPY text joined by
// `separator`, as SplitCopyLine would give them, when the line has no
// backslash (so neither an escape nor a NULL) and that many fields; false
// and nothing appended otherwise.
bool AppendPlainCopyFields(std::string& out, std::string_view line, size_t fields, std::string_view separator);
// The values of one line that AppendCopyValue wrote, as a write would take
// them again: "\N" as NULL, bytea back to its bytes, anything
// else as its text (a number as its decimal text, which a statement's
// parameter sends alike).
std::vector<Value> ReadCopyValues(std::string_view line, const std::vector<bool>& binary);

}  // namespace kestrel::store::postgres
