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

namespace kestrel {
template <class Item>
class ReadAhead;
}

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
  // As Open, but the lines are read on a second thread, some batches ahead
  // of Next (base/read_ahead.h), for a user that spends its time storing the
  // rows: the same rows, and a failed read raised after the rows before it.
  // The Env must be safe to read files through from that thread.
  static std::unique_ptr<RowReader> OpenAhead(Env& env, const std::string& path, size_t expected_fields = 0);
  explicit RowReader(std::unique_ptr<TextReader> in, size_t expected_fields = 0);
  ~RowReader();

  // Reads the next row; false at the end of the file.
  bool Next();
  // The fields of the row last read; valid until the next call of Next.
  const std::vector<std::string_view>& fields() const { return fields_; }
  const std::string& line() const { return line_; }
  size_t line_number() const { return ahead_ ? line_number_ : in_->line_number(); }
  const std::string& path() const { return in_->path(); }
  void Close();

 private:
  struct Line {
    std::string text;
    size_t number = 0;
  };
  bool ReadLine();

  std::unique_ptr<TextReader> in_;
  size_t expected_;
  std::string line_;
  std::vector<std::string_view> fields_;
  // Reading ahead: the lines come from the second thread.
  std::unique_ptr<ReadAhead<Line>> ahead_;  // after in_, which it reads
  Line taken_;
  size_t line_number_ = 0;
};

}  // namespace kestrel::files
