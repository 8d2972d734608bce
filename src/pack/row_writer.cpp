// The row file writers.
#include "pack/row_writer.h"

#include <cstring>

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
    Raise(Ours::Internal, "A row of " + out_.path() + " was given " + std::to_string(values.size()) +
                              " values for " + std::to_string(field_count_) + " fields");
  buf_.clear();
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) buf_ += kFieldSeparator;
    const Value& v = values[i];
    if (v.IsNull()) continue;
    size_t mark = buf_.size();
    if (const std::string* s = v.AsText())
      buf_ += *s;
    else
      buf_ += v.Text();
    std::string_view field(buf_.data() + mark, buf_.size() - mark);
    if (field.find(kFieldSeparator) != std::string_view::npos || field.find("\r\n") != std::string_view::npos)
      RaiseUnwritable(out_, "field " + std::to_string(i + 1) + " of row " + std::to_string(rows_ + 1) +
                                " holds character 1 or a line break");
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
      RaiseUnwritable(out, "row " + std::to_string(count + 1) + " does not end with a line break");
    const char* p = rows.data() + pos;
    const char* stop = rows.data() + end;
    size_t separators = 0;
    while ((p = static_cast<const char*>(std::memchr(p, kFieldSeparator, static_cast<size_t>(stop - p))))) {
      ++separators;
      ++p;
    }
    if (separators + 1 != column_count)
      RaiseUnwritable(out, "row " + std::to_string(count + 1) + " has " + std::to_string(separators + 1) +
                               " fields where the table has " + std::to_string(column_count) +
                               " (a field holds character 1 or a line break)");
    ++count;
    pos = end + 2;
  }
  out.Write(rows);
  return count;
}

}  // namespace kestrel::pack
