// What every recordset does the same way over its backend's reading.
#include "store/recordset.h"

#include "base/errors_ours.h"

namespace kestrel::store {

std::string Recordset::GetString(long n, std::string_view column_sep, std::string_view row_sep) {
  std::string out;
  AppendString(out, n, column_sep, row_sep);
  return out;
}

long Recordset::AppendString(std::string& out, long n, std::string_view column_sep, std::string_view row_sep) {
  if (!IsOpen()) Raise(Ours::NoCurrentRow);
  long rows = 0;
  const int columns = FieldCount();
  while (!IsEOF() && (n < 0 || rows < n)) {
    if (!AppendRow(out, column_sep))
      for (int i = 0; i < columns; ++i) {
        if (i > 0) out.append(column_sep);
        AppendField(out, i);
      }
    out.append(row_sep);
    ++rows;
    MoveNext();
  }
  return rows;
}

}  // namespace kestrel::store
