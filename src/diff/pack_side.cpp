// Reading one side of a diff through the pack's own readers.
#include "diff/pack_side.h"

#include <algorithm>
#include <charconv>

#include <fmt/format.h>

#include "base/errors_ours.h"
#include "kestrel/error.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "base/text.h"
#include "diff/table_keys.h"
#include "pack/layout.h"
#include "pack/naming.h"
#include "pack/record_reader.h"
#include "store/schema.h"

namespace kestrel::diff {
namespace {

std::optional<int64_t> NumberIn(std::string_view text) {
  text = text::TrimBlanks(text);
  int64_t n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return n;
}

int64_t ProfileNumberAt(std::string_view text, const std::string& path, size_t line) {
  auto n = NumberIn(text);
  if (!n) RaiseMalformedPackFile(path, line, "a profile number that is not a number", text);
  return *n;
}

// Splits the blank-separated key columns and finds them among `columns`.
void PlaceKey(KeyedRows& out, std::string_view table) {
  std::string_view rest = KeyOf(table).columns;
  while (!rest.empty()) {
    const size_t blank = rest.find(' ');
    const std::string_view column = rest.substr(0, blank);
    const auto at = std::find(out.columns.begin(), out.columns.end(), column);
    if (at == out.columns.end())
      Raise(Ours::Internal, fmt::format("key column {} not in {}", column, table));
    out.key_positions.push_back(static_cast<size_t>(at - out.columns.begin()));
    rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
  }
}

void AddRow(KeyedRows& out, Row row) {
  std::string key;
  for (size_t p : out.key_positions) {
    for (char c : row[p].value_or(std::string())) {
      key += c;
      if (c == '\0') key += '\0';
    }
    key.append(2, '\0');
  }
  out.rows[key].push_back(std::move(row));
}

// Counts a row, and keeps it (as `make` makes it) unless rows are only counted.
template <class Make>
void Take(KeyedRows& out, const Make& make) {
  ++out.count;
  if (!out.counted_only) AddRow(out, make());
}

// Hands every row of a row file (all fields set) to `take`, with the profile
// number of its mprf field when `by_profile` (else 0) and a maker of the row.
template <class TakeRow>
void ReadRowFile(Env& env, const std::string& path, const KeyedRows& out, bool by_profile, const TakeRow& take) {
  auto reader = files::RowReader::Open(env, path, out.columns.size());
  const auto mprf =
      static_cast<size_t>(std::find(out.columns.begin(), out.columns.end(), "mprf") - out.columns.begin());
  while (reader->Next()) {
    const auto& f = reader->fields();
    take(by_profile ? ProfileNumberAt(f[mprf], reader->path(), reader->line_number()) : 0,
         [&] { return Row(f.begin(), f.end()); });
  }
}

}  // namespace

PackSide::PackSide(Env& env, std::string folder) : env_(env), folder_(std::move(folder)) {
  while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
  if (!files::FileExistsInFolder(env_, folder_, pack::kManifestFile))
    throw ComError(rt::FileNotFound, fmt::format("{}: {} (not a logic pack folder)", RuntimeErrorText(rt::FileNotFound),
                                                 files::Join(folder_, pack::kManifestFile)));
  if (!pack::ReadLogicPackManifest(env_, folder_, manifest_)) {
    RaiseWithDetail(Ours::MalformedPackFile,
                    files::Join(folder_, pack::kManifestFile) + ": it ends before its option lines");
  }
  auto header = files::RowReader::Open(env_, files::PathInFolder(env_, folder_, pack::kQzmap100Rows.file),
                                       pack::kQzmap100Rows.columns.size());
  while (header->Next()) {
    const auto& f = header->fields();
    profiles_.push_back({ProfileNumberAt(f[0], header->path(), header->line_number()), std::string(f[1]),
                         std::string(f[2])});
  }
  const std::string_view name = std::string_view(folder_).substr(folder_.rfind('/') + 1);
  if (name.ends_with("-S"))
    single_ = true;
  else if (!name.ends_with("-M"))
    single_ = profiles_.size() == 1;
  if (single_ || !files::FileExistsInFolder(env_, folder_, pack::kQzmap101Rows.file)) return;
  auto levels = files::RowReader::Open(env_, files::PathInFolder(env_, folder_, pack::kQzmap101Rows.file),
                                       pack::kQzmap101Rows.columns.size());
  while (levels->Next()) {
    const int64_t parent = ProfileNumberAt(levels->fields()[5], levels->path(), levels->line_number());
    if (!Holds(parent) && (!based_on_ || parent > *based_on_)) based_on_ = parent;
  }
}

std::vector<std::string> PackSide::applications() const {
  std::vector<std::string> out;
  std::string_view rest = manifest_.applications;
  while (!rest.empty()) {
    const size_t bar = rest.find('|');
    if (bar != 0) out.emplace_back(rest.substr(0, bar));
    if (bar == std::string_view::npos) break;
    rest.remove_prefix(bar + 1);
  }
  return out;
}

bool PackSide::Holds(int64_t profile) const {
  return std::any_of(profiles_.begin(), profiles_.end(), [&](const PackProfile& p) { return p.number == profile; });
}

KeyedRows PackSide::ProfileRows(std::string_view table, std::optional<int64_t> profile, bool count_only) const {
  KeyedRows out;
  out.counted_only = count_only;
  // Counted for every profile in one reading, the rows of each profile go
  // to a map of counts; read to be kept, those of `profile` only to `out`.
  std::map<int64_t, int64_t>* counts = nullptr;
  if (count_only && profile) {
    const auto known = counted_.find(table);
    if (known != counted_.end()) {
      const auto n = known->second.find(*profile);
      out.count = n == known->second.end() ? 0 : n->second;
      return out;
    }
    counts = &counted_[std::string(table)];
  }
  const auto take = [&](int64_t number, const auto& make_row) {
    if (counts) {
      ++(*counts)[number];
      if (number == *profile) ++out.count;
    } else if (!profile || number == *profile) {
      Take(out, make_row);
    }
  };
  if (const pack::RowLayout* rows = pack::FindRowLayout(table)) {
    out.columns.assign(rows->columns.begin(), rows->columns.end());
    PlaceKey(out, table);
    if (files::FileExistsInFolder(env_, folder_, rows->file))
      ReadRowFile(env_, files::PathInFolder(env_, folder_, rows->file), out, profile.has_value(), take);
    return out;
  }
  const pack::TaggedLayout* layout = pack::FindTaggedLayout(table);
  if (!layout) Raise(Ours::Internal, "no layout for table " + std::string(table));
  for (const auto& f : layout->fields) out.columns.push_back(f.column);
  PlaceKey(out, table);
  if (!files::FileExistsInFolder(env_, folder_, layout->file)) return out;
  auto reader = pack::TaggedRecordReader::Open(env_, folder_, *layout, {.for_sync = manifest_.for_sync});
  const int mprf = layout->IndexOf("mprf");
  if (mprf < 0 && counts) {
    // A table without the column holds every profile's rows alike: counted anew for each.
    counted_.erase(counted_.find(table));
    counts = nullptr;
  }
  pack::TaggedRecord record;
  while (reader->Next(record)) {
    const int64_t number =
        profile && mprf >= 0 ? ProfileNumberAt(record.Text(static_cast<size_t>(mprf)), reader->path(), record.line())
                             : profile.value_or(0);
    take(number, [&] {
      Row row(record.size());
      for (size_t i = 0; i < record.size(); ++i)
        if (record.IsSet(i)) row[i] = record.Text(i);
      return row;
    });
  }
  return out;
}

KeyedRows PackSide::ApplicationRows(std::string_view table, const std::string& appl, bool count_only) const {
  KeyedRows out;
  out.counted_only = count_only;
  const store::TableDef* def = store::FindTable(table);
  if (!def) Raise(Ours::Internal, "no table " + std::string(table));
  out.columns = def->ColumnNames();
  PlaceKey(out, table);
  const std::string file = pack::DataFileName(table, appl);
  if (files::FileExistsInFolder(env_, folder_, file))
    ReadRowFile(env_, files::PathInFolder(env_, folder_, file), out, false,
                [&](int64_t, const auto& make_row) { Take(out, make_row); });
  return out;
}

}  // namespace kestrel::diff
