// Reads row files: one row per CR LF line, fields separated by character 1.
// Shared by everything that reads such files (pack details, re-coding, the
// bulk loader), so it lives beside the file seam and needs no pack layer.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/files.h"
#include "kestrel/store.h"

namespace kestrel::files {

inline constexpr char kFieldSeparator = store::kDataFieldSeparator;

// Splits `line` at character 1 into `fields` (views into `line`). An empty
// line is one empty field; n separators always give n + 1 fields.
void SplitRow(std::string_view line, std::vector<std::string_view>& fields);

class RowReader {
 public:
  // `expected_fields` 0 takes rows of any width; otherwise a row of another
  // width raises Ours::MalformedPackFile naming the file and line.
  static std::unique_ptr<RowReader> Open(Env& env, const std::string& path, size_t expected_fields = 0);
  explicit RowReader(std::unique_ptr<TextReader> in, size_t expected_fields = 0);

  // Reads the next row; false at the end of the file.
  bool Next();
  // The fields of the row last read; valid until the next call of Next.
  const std::vector<std::string_view>& fields() const { return fields_; }
  const std::string& line() const { return line_; }
  size_t line_number() const { return in_->line_number(); }
  const std::string& path() const { return in_->path(); }
  void Close() { in_->Close(); }

 private:
  std::unique_ptr<TextReader> in_;
  size_t expected_;
  std::string line_;
  std::vector<std::string_view> fields_;
};

}  // namespace kestrel::files
