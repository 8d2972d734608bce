// The row file writers.
#include "pack/row_writer.h"

#include <cstring>
#include <iterator>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"

namespace kestrel::pack {
namespace {

[[noreturn]] void RaiseUnwritable(const files::TextWriter& out, const std::string& why) {
  Raise(Ours::UnwritableValue, std::string(DefaultText(Ours::UnwritableValue)) + ": " + out.path() + ": " + why);
}

}  // namespace

RowWriter::RowWriter(const RowLayout& layout, files::TextWriter& out)
    : out_(out), field_count_(layout.columns.size()) {}

RowWriter::RowWriter(size_t field_count, files::TextWriter& out) : out_(out), field_count_(field_count) {}

void RowWriter::Write(std::span<const Value> values) {
  if (values.size() != field_count_)
    Raise(Ours::Internal,
          fmt::format("A row of {} was given {} values for {} fields", out_.path(), values.size(), field_count_));
  buf_.clear();
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) buf_ += kFieldSeparator;
    const Value& v = values[i];
    if (v.IsNull()) continue;
    size_t mark = buf_.size();
    if (const std::string* s = v.AsText())
      buf_ += *s;
    else if (const int64_t* n = v.AsInteger())
      fmt::format_to(std::back_inserter(buf_), "{}", *n);
    else
      buf_ += v.Text();
    std::string_view field(buf_.data() + mark, buf_.size() - mark);
    if (field.find(kFieldSeparator) != std::string_view::npos || field.find("\r\n") != std::string_view::npos)
      RaiseUnwritable(out_, fmt::format("field {} of row {} holds character 1 or a line break", i + 1, rows_ + 1));
  }
  buf_ += "\r\n";
  out_.Write(buf_);
  ++rows_;
}

size_t WriteDataRows(files::TextWriter& out, std::string_view rows, size_t column_count) {
  size_t count = 0;
  size_t pos = 0;
  while (pos < rows.size()) {
    size_t end = rows.find("\r\n", pos);
    if (end == std::string_view::npos)
      RaiseUnwritable(out, fmt::format("row {} does not end with a line break", count + 1));
    const char* p = rows.data() + pos;
    const char* stop = rows.data() + end;
    size_t separators = 0;
    while ((p = static_cast<const char*>(std::memchr(p, kFieldSeparator, static_cast<size_t>(stop - p))))) {
      ++separators;
      ++p;
    }
    if (separators + 1 != column_count)
      RaiseUnwritable(out, fmt::format("row {} has {} fields where the table has {} (a field holds character 1 or "
                                       "a line break)",
                                       count + 1, separators + 1, column_count));
    ++count;
    pos = end + 2;
  }
  out.Write(rows);
  return count;
}

}  // namespace kestrel::pack
