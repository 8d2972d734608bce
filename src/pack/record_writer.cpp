// The tagged record writer.
#include "pack/record_writer.h"

#include <algorithm>
#include <map>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"
#include "pack/text_checks.h"

namespace kestrel::pack {
namespace {

constexpr std::string_view kCrLf = "\r\n";

int IdentitySlot(std::string_view column) {
  if (column == "mprf") return 0;
  if (column == "vers") return 1;
  if (column == "rele") return 2;
  if (column == "cust") return 3;
  return -1;
}

[[noreturn]] void RaiseUnwritable(const files::TextWriter& out, const Field& f, std::string_view why) {
  Raise(Ours::UnwritableValue,
        fmt::format("{}: {}, column {}: {}", DefaultText(Ours::UnwritableValue), out.path(), f.column, why));
}

}  // namespace

NamedValues::NamedValues(std::initializer_list<std::pair<std::string_view, Value>> values) {
  for (const auto& [column, v] : values) Set(column, v);
}

void NamedValues::Set(std::string_view column, Value v) {
  for (auto& [name, value] : values_)
    if (name == column) {
      value = std::move(v);
      return;
    }
  values_.emplace_back(std::string(column), std::move(v));
}

Value NamedValues::Get(size_t, const Field& field) const {
  for (const auto& [name, value] : values_)
    if (name == field.column) return value;
  RaiseUnboundColumn(field);
}

void RaiseUnboundColumn(const Field& field) {
  Raise(Ours::Internal, "No value was given for the column " + std::string(field.column));
}

std::vector<int> BindColumns(const TaggedLayout& layout, std::span<const std::string_view> source_columns) {
  // The mapping object export binds the same query once per object: the last
  // binding of each layout is kept with the names it was made for.
  struct Memo {
    std::vector<std::string> names;
    std::vector<int> binding;
  };
  static thread_local std::map<const TaggedLayout*, Memo> memo;
  Memo& last = memo[&layout];
  if (std::equal(source_columns.begin(), source_columns.end(), last.names.begin(), last.names.end()) &&
      !last.binding.empty())
    return last.binding;

  std::vector<int> binding(layout.fields.size(), -1);
  for (size_t i = 0; i < layout.fields.size(); ++i) {
    const Field& f = layout.fields[i];
    if (f.kind == FieldKind::Fixed) continue;
    for (size_t c = 0; c < source_columns.size(); ++c)
      if (text::EqualNoCase(source_columns[c], f.column)) {
        binding[i] = static_cast<int>(c);
        break;
      }
  }
  last.names.assign(source_columns.begin(), source_columns.end());
  last.binding = binding;
  return binding;
}

TaggedRecordWriter::TaggedRecordWriter(const TaggedLayout& layout, files::TextWriter& out, RecordOptions options)
    : layout_(layout), out_(out), options_(options) {
  identity_slot_.reserve(layout.fields.size());
  for (const auto& f : layout.fields) identity_slot_.push_back(IdentitySlot(f.column));

  std::string pending;
  if (!layout.start_line.empty()) {
    pending += layout.start_line;
    pending += kCrLf;
  }
  for (size_t i = 0; i < layout.fields.size(); ++i) {
    const Field& f = layout.fields[i];
    if (!Writes(f, options_)) continue;
    switch (f.kind) {
      case FieldKind::Fixed:
        pending += f.tag;
        pending += f.constant;
        pending += kCrLf;
        continue;
      case FieldKind::Tag: {
        // The value is converted before its line is written: a failure
        // leaves no part of the line.
        const size_t kept = pending.size();
        pending += f.tag;
        steps_.push_back({std::move(pending), kept, i});
        break;
      }
      case FieldKind::Bare:
        break;
      case FieldKind::Block:
        pending += f.tag;
        pending += kCrLf;
        break;
    }
    if (f.kind != FieldKind::Tag) {
      const size_t kept = pending.size();
      steps_.push_back({std::move(pending), kept, i});
    }
    pending.clear();
    if (f.kind == FieldKind::Block) {
      pending += kCrLf;
      pending += f.end;
    }
    pending += kCrLf;
  }
  tail_ = std::move(pending);
}

bool Writes(const Field& f, const RecordOptions& options) {
  switch (f.presence) {
    case Presence::Always: return true;
    case Presence::RuleWritersOnly: return options.with_ldat;
    case Presence::SyncOnly: return options.for_sync;
  }
  return true;
}

std::vector<std::string_view> ColumnsRead(const TaggedLayout& layout, const RecordOptions& options) {
  std::vector<std::string_view> columns;
  for (const Field& f : layout.fields)
    if (f.kind != FieldKind::Fixed && Writes(f, options) && !(options.identity && IdentitySlot(f.column) >= 0))
      columns.push_back(f.column);
  return columns;
}

Value TaggedRecordWriter::ValueOf(size_t index, const Field& f, const FieldSource& row) const {
  if (options_.identity && identity_slot_[index] >= 0) {
    const Identity& id = *options_.identity;
    switch (identity_slot_[index]) {
      case 0: return id.mprf;
      case 1: return id.vers;
      case 2: return id.rele;
      default: return id.cust;
    }
  }
  return row.Get(index, f);
}

// Appends the value's text, checked against what its kind of line can carry.
void TaggedRecordWriter::AppendValue(const Value& v, const Field& f) {
  if (v.IsNull()) {
    if (f.null_fails) RaiseRuntime(rt::InvalidUseOfNull);
    AppendText(f.null_text, f);
  } else if (const std::string* s = v.AsText()) {
    AppendText(*s, f);
  } else {
    AppendText(v.Text(), f);
  }
}

void TaggedRecordWriter::AppendField(size_t index, const Field& f, const FieldSource& row) {
  std::string_view text;
  if (!(options_.identity && identity_slot_[index] >= 0) && row.ViewText(index, f, text))
    AppendText(text, f);
  else
    AppendValue(ValueOf(index, f, row), f);
}

void TaggedRecordWriter::AppendText(std::string_view text, const Field& f) {
  if (f.kind == FieldKind::Block) {
    if (const unsigned equal = LinesEqualTo(text, f.end, f.tag))
      RaiseUnwritable(out_, f, "a line of the value equals " + QuoteForMessage(equal & 1 ? f.end : f.tag));
  } else if (!f.continued_until.empty()) {
    if (HasLineStartingWith(text, f.continued_until, /*skip_first=*/true))
      RaiseUnwritable(out_, f, "a continued line begins with " + QuoteForMessage(f.continued_until));
  } else if (HasLineBreak(text)) {
    RaiseUnwritable(out_, f, "the value holds a line break");
  }
  buf_ += text;
}

void TaggedRecordWriter::Build(const FieldSource& row) {
  buf_.clear();
  size_t kept = 0;  // what stays of the record when the current value fails
  // (no more than was appended, should the failure come before the value)
  try {
    for (const Step& step : steps_) {
      kept = buf_.size() + step.kept;
      buf_ += step.lead;
      AppendField(step.field, layout_.fields[step.field], row);
    }
    buf_ += tail_;
  } catch (...) {
    buf_.resize(std::min(kept, buf_.size()));
    throw;
  }
}

void TaggedRecordWriter::Write(const FieldSource& row) {
  try {
    Build(row);
  } catch (const ComError& e) {
    // A refused value leaves the file without the record; a failed
    // conversion leaves it written up to the failing line.
    if (e.number() != Number(Ours::UnwritableValue)) out_.Write(buf_);
    throw;
  } catch (...) {
    out_.Write(buf_);
    throw;
  }
  out_.Write(buf_);
}

const std::string& TaggedRecordWriter::Record(const FieldSource& row) {
  Build(row);
  return buf_;
}

}  // namespace kestrel::pack
