// The row file reader.
#include "base/row_reader.h"

#include "base/errors_ours.h"
#include "base/read_ahead.h"

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

std::unique_ptr<RowReader> RowReader::OpenAhead(Env& env, const std::string& path, size_t expected_fields) {
  // Lines handed over at a time, and batches in all: memory stays flat.
  constexpr size_t kLinesPerBatch = 256, kBatches = 3;
  auto reader = Open(env, path, expected_fields);
  TextReader& in = *reader->in_;
  reader->ahead_ = std::make_unique<ReadAhead<Line>>(
      [&in](Line& line) {
        if (!in.ReadLine(line.text)) return false;
        line.number = in.line_number();
        return true;
      },
      kLinesPerBatch, kBatches);
  return reader;
}

RowReader::RowReader(std::unique_ptr<TextReader> in, size_t expected_fields)
    : in_(std::move(in)), expected_(expected_fields) {}

RowReader::~RowReader() = default;

void RowReader::Close() {
  if (ahead_) ahead_->Stop();
  in_->Close();
}

bool RowReader::ReadLine() {
  if (!ahead_) return in_->ReadLine(line_);
  if (!ahead_->Next(taken_)) return false;
  line_.swap(taken_.text);
  line_number_ = taken_.number;
  return true;
}

bool RowReader::Next() {
  if (!ReadLine()) {
    fields_.clear();
    return false;
  }
  SplitRow(line_, fields_);
  if (expected_ != 0 && fields_.size() != expected_)
    RaiseMalformedPackFile(in_->path(), line_number(),
                           "a row of " + std::to_string(fields_.size()) + " fields where " +
                               std::to_string(expected_) + " are required",
                           line_);
  return true;
}

}  // namespace kestrel::files
