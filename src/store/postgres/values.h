// Values between the store interface and the server's text format: the
// fields of a result as Values and as bytes, and the parameters of a
// statement as the texts the server reads. Every value travels as text with
// its length (the connection's client encoding is LATIN1, so each byte 1-255
// is one character and comes back as it went); a bytea value travels in the
// server's hex form, which keeps every byte. libpq reads a parameter in text
// form up to its terminating NUL, so every parameter is a copy that has one.
#pragma once

#include <libpq-fe.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/value.h"

namespace kestrel::store::postgres {

// Type numbers of the server's built-in types that values are read by.
inline constexpr Oid kByteaType = 17;

// A field of a result row: integers as integers, floating and numeric values
// as doubles, booleans as 1 or 0, bytea as its bytes, anything else as its
// text; NULL as NULL.
Value FieldValue(const PGresult* r, int row, int column);
// A field's text read as FieldValue reads it, by the column's type.
Value ValueOfText(std::string_view text, Oid type);
// Whether a column of the type comes in COPY's text form as a fetch gives
// it and AppendFieldText writes it: not a number read as a double, a
// boolean or bytea.
bool CopiesAsFetched(Oid type);
// Appends the field's text as GetString writes it ("" for NULL).
void AppendFieldText(std::string& out, const PGresult* r, int row, int column);
// Whether a field of the type, in its text form, is the text of the Value
// read from it: texts and whole numbers, not floating numbers or booleans.
bool LendsText(Oid type);

// The bytes of a bytea field in the server's hex form ("\x4142").
std::string DecodeBytea(std::string_view hex);
// Bytes in the hex form a bytea parameter or COPY field is read from.
std::string EncodeBytea(std::string_view bytes);

// The parameters of one run of a statement.
class Params {
 public:
  void Resize(size_t n);
  size_t size() const { return pointers_.size(); }
  void Clear();
  // A value as a write takes it (store/row_writes.h); `binary`: the parameter is bytea.
  void Set(size_t i, const Value& v, bool binary);
  // A text; empty binds NULL (the bulk loader's empty field).
  void SetText(size_t i, std::string_view text, bool binary);
  const char* const* values() const { return pointers_.data(); }

 private:
  void Own(size_t i, std::string text);
  std::vector<std::string> owned_;
  std::vector<const char*> pointers_;
};

}  // namespace kestrel::store::postgres
