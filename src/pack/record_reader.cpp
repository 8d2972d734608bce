// The tagged record reader.
#include "pack/record_reader.h"

#include <fmt/format.h>

#include "base/errors_ours.h"
#include "base/text.h"
#include "pack/text_checks.h"

namespace kestrel::pack {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool IsBlank(std::string_view s) { return text::TrimBlanks(s).empty(); }

void TrimSpaces(std::string& s) {
  std::string_view t = text::TrimBlanks(s);
  if (t.size() == s.size()) return;
  size_t b = static_cast<size_t>(t.data() - s.data());
  s.erase(b + t.size());
  s.erase(0, b);
}

std::string Q(std::string_view s) { return QuoteForMessage(s); }

}  // namespace

void TaggedRecord::Reset(size_t n) {
  text_.resize(n);
  for (auto& t : text_) t.clear();
  set_.assign(n, 0);
}

TaggedRecordReader::TaggedRecordReader(const TaggedLayout& layout, std::unique_ptr<files::TextReader> in,
                                       ReadOptions options)
    : layout_(layout), in_(std::move(in)), options_(options) {}

std::unique_ptr<TaggedRecordReader> TaggedRecordReader::Open(Env& env, const std::string& folder,
                                                             const TaggedLayout& layout, ReadOptions options) {
  return std::make_unique<TaggedRecordReader>(
      layout, files::TextReader::Open(env, files::PathInFolder(env, folder, layout.file)), options);
}

bool TaggedRecordReader::Fetch() {
  if (pushed_back_) {
    pushed_back_ = false;
    return true;
  }
  if (!in_->ReadLine(line_)) return false;
  line_number_ = in_->line_number();
  if (line_number_ == 1) RefuseByteOrderMark(line_, in_->path());
  return true;
}

void TaggedRecordReader::Malformed(std::string_view what, bool show_line) const {
  if (show_line) RaiseMalformedPackFile(in_->path(), line_number_, what, line_);
  RaiseMalformedPackFile(in_->path(), line_number_, what);
}

void TaggedRecordReader::Need(const Field& f) {
  if (Fetch()) return;
  std::string what = f.kind == FieldKind::Bare ? fmt::format("the untagged {} line", f.column) : Q(f.tag);
  Malformed(fmt::format("the file ends within the record that begins at line {}, before {}", record_line_, what),
            false);
}

void TaggedRecordReader::ReadTag(const Field& f, TaggedRecord& r, size_t i) {
  std::string& v = r.text_[i];
  v.assign(line_.substr(f.tag.size()));
  if (f.trim == Trim::FirstLine) TrimSpaces(v);
  if (!f.continued_until.empty()) {
    // The value runs on over the lines up to the next field's tag line.
    for (;;) {
      if (!Fetch())
        Malformed(fmt::format("the file ends within the record that begins at line {}, before the line beginning "
                              "with {}",
                              record_line_, Q(f.continued_until)),
                  false);
      if (StartsWith(line_, f.continued_until)) {
        pushed_back_ = true;
        break;
      }
      v += "\r\n";
      v += line_;
    }
  }
  if (f.trim == Trim::Whole) TrimSpaces(v);
  r.set_[i] = 1;
}

void TaggedRecordReader::ReadBlock(const Field& f, TaggedRecord& r, size_t i) {
  if (line_ != f.tag) Malformed("expected the block start line " + Q(f.tag));
  size_t opened_at = line_number_;
  std::string& v = r.text_[i];
  v.clear();
  bool started = f.join == BlockJoin::Lines;
  bool first = true;
  size_t lines = 0;
  for (;;) {
    if (!Fetch())
      Malformed(fmt::format("the file ends within the block {} opened at line {}, which has no end line {}", Q(f.tag),
                            opened_at, Q(f.end)),
                false);
    if (line_ == f.end) break;
    if (line_ == f.tag)
      Malformed(fmt::format("the block {} opened at line {} has no end line {} before the next one opens", Q(f.tag),
                            opened_at, Q(f.end)));
    ++lines;
    if (!started) {
      if (f.join == BlockJoin::DropLeadingEmpty && line_.empty()) continue;
      if (f.join == BlockJoin::DropLeadingBlank && IsBlank(line_)) continue;
      started = true;
    }
    if (!first) v += "\r\n";
    v += line_;
    first = false;
  }
  if (f.needs_a_line && lines == 0) Malformed("the block " + Q(f.tag) + " holds no line");
  if (f.blank_unset && IsBlank(v)) {
    v.clear();
    return;
  }
  r.set_[i] = 1;
}

bool TaggedRecordReader::Next(TaggedRecord& r) {
  if (!Fetch()) return false;
  r.Reset(layout_.fields.size());
  r.line_ = record_line_ = line_number_;
  bool have_line = true;  // line_ holds a line no field has taken yet
  if (!layout_.start_line.empty()) {
    if (line_ != layout_.start_line)
      Malformed("a line outside any record: expected the record start line " + Q(layout_.start_line));
    have_line = false;
  }
  for (size_t i = 0; i < layout_.fields.size(); ++i) {
    const Field& f = layout_.fields[i];
    if (f.presence == Presence::SyncOnly && !options_.for_sync) continue;
    if (!have_line) Need(f);
    have_line = false;
    switch (f.kind) {
      case FieldKind::Tag:
      case FieldKind::Fixed:
        if (!StartsWith(line_, f.tag)) {
          if (f.presence == Presence::RuleWritersOnly) {
            have_line = true;  // absent: this line belongs to the next field
            continue;
          }
          if (f.tag_optional) {
            r.text_[i] = line_;
            r.set_[i] = 1;
            continue;
          }
          Malformed("expected a line beginning with " + Q(f.tag));
        }
        ReadTag(f, r, i);
        break;
      case FieldKind::Bare:
        r.text_[i] = line_;
        r.set_[i] = 1;
        break;
      case FieldKind::Block:
        ReadBlock(f, r, i);
        break;
    }
  }
  if (have_line) pushed_back_ = true;
  return true;
}

}  // namespace kestrel::pack
