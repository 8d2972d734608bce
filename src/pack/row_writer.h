// Writes row files: one line per row, fields joined by character 1, NULL as
// an empty field, CR LF after every row. RowWriter takes the values of one
// row; WriteDataRows writes application data as a recordset hands it out, many
// rows in one piece. A field holding character 1 or a CR LF line break would
// split the row, so such text is refused with Ours::UnwritableValue.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "base/files.h"
#include "base/row_reader.h"
#include "base/value.h"
#include "pack/layout.h"

namespace kestrel::pack {

using files::kFieldSeparator;

class RowWriter {
 public:
  // `out` belongs to the caller, who closes it.
  RowWriter(const RowLayout& layout, files::TextWriter& out);
  RowWriter(size_t field_count, files::TextWriter& out);

  // Writes one row; the number of values must be the row's field count.
  void Write(std::span<const Value> values);
  void Write(std::initializer_list<Value> values) { Write(std::span<const Value>(values.begin(), values.size())); }

  size_t rows() const { return rows_; }

 private:
  files::TextWriter& out_;
  size_t field_count_;
  std::string buf_;
  size_t rows_ = 0;
};

// Writes `rows` unchanged: complete rows of `column_count` fields joined by
// character 1, each followed by CR LF. Text whose rows do not have that shape
// (a field held a line break or character 1) is refused before anything is
// written. Returns the number of rows.
size_t WriteDataRows(files::TextWriter& out, std::string_view rows, size_t column_count);

}  // namespace kestrel::pack
