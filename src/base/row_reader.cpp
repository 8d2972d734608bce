// The row file reader.
#include "base/row_reader.h"

#include "base/errors_ours.h"

namespace kestrel::files {

void SplitRow(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  size_t start = 0;
  for (;;) {
    size_t at = line.find(kFieldSeparator, start);
    if (at == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return;
    }
    fields.push_back(line.substr(start, at - start));
    start = at + 1;
  }
}

std::unique_ptr<RowReader> RowReader::Open(Env& env, const std::string& path, size_t expected_fields) {
  return std::make_unique<RowReader>(TextReader::Open(env, path), expected_fields);
}

RowReader::RowReader(std::unique_ptr<TextReader> in, size_t expected_fields)
    : in_(std::move(in)), expected_(expected_fields) {}

bool RowReader::Next() {
  if (!in_->ReadLine(line_)) {
    fields_.clear();
    return false;
  }
  SplitRow(line_, fields_);
  if (expected_ != 0 && fields_.size() != expected_)
    RaiseMalformedPackFile(in_->path(), in_->line_number(),
                           "a row of " + std::to_string(fields_.size()) + " fields where " +
                               std::to_string(expected_) + " are required",
                           line_);
  return true;
}

}  // namespace kestrel::files
