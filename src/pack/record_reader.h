// Reads tagged record files one record at a time, walking a layout of
// layout.h with the loaders' reading rules: a tag line's value is the text
// after its tag, blocks are joined with CR LF (some leave out leading empty or
// blank lines), marked values are trimmed, a continued value runs on to the
// next tag, and optional lines are recognised by their tags.
//
// Tags and block lines are verified, so a line outside the format (a stray
// line between records, a truncated record, a block without its end line)
// raises Ours::MalformedPackFile naming the file and line instead of giving a
// wrong row. Every file the writers produce is accepted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/files.h"
#include "pack/layout.h"

namespace kestrel::pack {

// One record as read, its fields aligned with the layout's.
class TaggedRecord {
 public:
  size_t size() const { return text_.size(); }
  // The field's text; "" when the field was not set.
  const std::string& Text(size_t index) const { return text_[index]; }
  // False for a field that leaves its column unset: an optional line that was
  // absent (:LDAT:), lines not read (:LOGN:/:LUSR: outside synchronisation
  // packs) and a value empty after trimming where the layout says so.
  bool IsSet(size_t index) const { return set_[index] != 0; }
  // 1-based line number of the record's first line.
  size_t line() const { return line_; }

 private:
  friend class TaggedRecordReader;
  void Reset(size_t n);
  std::vector<std::string> text_;
  std::vector<uint8_t> set_;
  size_t line_ = 0;
};

struct ReadOptions {
  // Read the :LOGN:/:LUSR: lines of Qzmap120.dat; the manifest says whether
  // the pack was made for synchronisation.
  bool for_sync = false;
};

class TaggedRecordReader {
 public:
  TaggedRecordReader(const TaggedLayout& layout, std::unique_ptr<files::TextReader> in, ReadOptions options = {});
  // Opens the layout's file in `folder`, its name matched without regard to
  // case; a missing file raises 53.
  static std::unique_ptr<TaggedRecordReader> Open(Env& env, const std::string& folder, const TaggedLayout& layout,
                                                  ReadOptions options = {});

  // Reads the next record into `record` (reusing its storage); false at the
  // end of the file.
  bool Next(TaggedRecord& record);

  const TaggedLayout& layout() const { return layout_; }
  const std::string& path() const { return in_->path(); }
  void Close() { in_->Close(); }

 private:
  bool Fetch();                                   // next line into line_, honouring a pushed-back one
  void Need(const Field& f);  // Fetch, or raise: the record ends before field f
  [[noreturn]] void Malformed(std::string_view what, bool show_line = true) const;
  void ReadTag(const Field& f, TaggedRecord& r, size_t i);
  void ReadBlock(const Field& f, TaggedRecord& r, size_t i);

  const TaggedLayout& layout_;
  std::unique_ptr<files::TextReader> in_;
  ReadOptions options_;
  std::string_view line_;  // the line in the text reader's buffer, valid until the next read
  size_t line_number_ = 0;
  size_t record_line_ = 0;
  bool pushed_back_ = false;
};

}  // namespace kestrel::pack
