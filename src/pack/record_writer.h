// Writes tagged records (rule, revision and function files) by walking a
// layout of layout.h. Values come from a FieldSource: a recordset row bound
// once per query, or values assembled by name. A value the format cannot
// carry (a line break in a tag line, a block line equal to the block's start
// or end line) is refused with Ours::UnwritableValue instead of breaking the file.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/files.h"
#include "base/value.h"
#include "pack/layout.h"

namespace kestrel::pack {

// Where the values of the record being written come from: one call per field
// that carries a column, in layout order.
class FieldSource {
 public:
  virtual ~FieldSource() = default;
  virtual Value Get(size_t index, const Field& field) const = 0;
  // The field's bytes when the source holds them as text, without building a
  // Value: true and `text` set (valid until the source moves on). False for
  // NULL, numbers and sources that cannot tell: Get gives the value then.
  virtual bool ViewText(size_t, const Field&, std::string_view&) const { return false; }
};

// Values given by column name, for callers that assemble a record themselves.
// Asking for a column that was not given is a programming error (Ours::Internal).
class NamedValues final : public FieldSource {
 public:
  NamedValues() = default;
  NamedValues(std::initializer_list<std::pair<std::string_view, Value>> values);
  void Set(std::string_view column, Value v);
  Value Get(size_t index, const Field& field) const override;

 private:
  std::vector<std::pair<std::string, Value>> values_;
};

// For each field of `layout`, the position of its column among
// `source_columns` (matched without regard to case), or -1. Done once per
// query, so writing a row costs no name look-ups.
std::vector<int> BindColumns(const TaggedLayout& layout, std::span<const std::string_view> source_columns);

[[noreturn]] void RaiseUnboundColumn(const Field& field);

// A source row read through a binding. Row is anything with
// `int FieldCount() const`, `const std::string& FieldName(int) const` and
// `Value Fields(int) const`, such as the store's recordset; one with
// `bool ViewText(int, std::string_view&) const` also lends its texts.
template <class Row>
class BoundRow final : public FieldSource {
 public:
  BoundRow(const Row& row, const std::vector<int>& binding) : row_(row), binding_(binding) {}
  Value Get(size_t index, const Field& field) const override {
    int at = binding_[index];
    if (at < 0) RaiseUnboundColumn(field);
    return row_.Fields(at);
  }
  bool ViewText(size_t index, const Field&, std::string_view& text) const override {
    if constexpr (requires { row_.ViewText(0, text); }) {
      int at = binding_[index];
      return at >= 0 && row_.ViewText(at, text);
    } else {
      return false;
    }
  }

 private:
  const Row& row_;
  const std::vector<int>& binding_;
};

template <class Row>
std::vector<int> BindColumnsOf(const TaggedLayout& layout, const Row& row) {
  std::vector<std::string_view> names;
  names.reserve(static_cast<size_t>(row.FieldCount()));
  for (int i = 0; i < row.FieldCount(); ++i) names.push_back(row.FieldName(i));
  return BindColumns(layout, names);
}

// The profile number and VRC that replace a row's own in the first four lines
// (the mapping object export writes inherited rules as the exported profile's).
struct Identity {
  Value mprf, vers, rele, cust;
};

struct RecordOptions {
  bool with_ldat = true;               // false: the mapping object export leaves out :LDAT:
  bool for_sync = false;               // the export is for synchronisation: :LOGN:/:LUSR:
  const Identity* identity = nullptr;  // replaces mprf, vers, rele, cust when set
};

// Whether a writer with `options` writes field `f` at all.
bool Writes(const Field& f, const RecordOptions& options);
// The columns a writer with `options` reads from its rows, in the layout's
// order: the fields it writes that have a column and no identity standing
// in for it. A read may select these alone.
std::vector<std::string_view> ColumnsRead(const TaggedLayout& layout, const RecordOptions& options);

class TaggedRecordWriter {
 public:
  // `out` belongs to the caller, who closes it.
  TaggedRecordWriter(const TaggedLayout& layout, files::TextWriter& out, RecordOptions options = {});

  // Writes one record. A NULL in a column whose conversion fails raises 94
  // "Invalid use of Null"; the record is then written up to the failing line
  // (a block's start line included), as the conversion happens there.
  void Write(const FieldSource& row);
  // The record Write would write, without writing it: valid until the next
  // record. A value that fails raises as in Write, and nothing is written.
  const std::string& Record(const FieldSource& row);

  const TaggedLayout& layout() const { return layout_; }

 private:
  // A record is written as the same fixed texts between the values of its
  // fields with a column, worked out once per writer: before each value, the
  // text since the last value (line ends, fixed lines, the value's tag or its
  // block's start line); after the last one, what ends the record.
  struct Step {
    std::string lead;
    size_t kept;   // bytes of `lead` left in the file when the value's conversion fails
    size_t field;  // index into the layout's fields
  };

  // Makes the record in buf_; on failure buf_ keeps what Write leaves of it.
  void Build(const FieldSource& row);
  Value ValueOf(size_t index, const Field& f, const FieldSource& row) const;
  void AppendValue(const Value& v, const Field& f);
  void AppendText(std::string_view text, const Field& f);
  // Appends the field's value from the row (or the identity).
  void AppendField(size_t index, const Field& f, const FieldSource& row);

  const TaggedLayout& layout_;
  files::TextWriter& out_;
  RecordOptions options_;
  std::vector<int> identity_slot_;  // per field: 0-3 for mprf, vers, rele, cust, else -1
  std::vector<Step> steps_;
  std::string tail_;
  std::string buf_;
};

}  // namespace kestrel::pack
