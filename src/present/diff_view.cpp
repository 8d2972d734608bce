// The text and JSON of a difference.
#include "present/diff_view.h"

#include <map>

#include <fmt/format.h>

#include "kestrel/store.h"

namespace kestrel::present {
namespace {

using kestrel::diff::Bytes;
using kestrel::diff::Change;
using kestrel::diff::FieldChange;
using kestrel::diff::Hunk;
using kestrel::diff::Result;
using kestrel::diff::Scope;
using kestrel::diff::TableCounts;

std::string_view ChangeWord(Change::Kind k) {
  switch (k) {
    case Change::Kind::Added: return "added";
    case Change::Kind::Removed: return "removed";
    case Change::Kind::Changed: break;
  }
  return "changed";
}

// "-2,7 +2,8": where a hunk starts on each side and how many lines it holds
// there (a count of one left out).
std::string HunkRange(char side, int64_t start, int64_t count) {
  return count == 1 ? fmt::format("{}{}", side, start) : fmt::format("{}{},{}", side, start, count);
}

// Writes lines, each in its colour where colours are wanted.
class Writer {
 public:
  Writer(std::ostream& out, const DiffTextOptions& o) : out_(out), o_(o) {}

  std::string Shown(std::string_view text) const { return o_.shown ? o_.shown(text) : std::string(text); }

  enum class Paint { Plain, Meta, Fragment, Old, New };
  void Line(Paint paint, std::string_view text) {
    static constexpr std::string_view kCodes[] = {"", "\033[1m", "\033[36m", "\033[31m", "\033[32m"};
    const std::string_view code = o_.colour ? kCodes[static_cast<int>(paint)] : std::string_view();
    out_ << code << text << (code.empty() ? "" : "\033[m") << '\n';
  }

  // The line that names a scope, used in the summary and in each change.
  std::string ScopeName(const Scope& s) const {
    switch (s.kind) {
      case Scope::Kind::Application: return "application " + Shown(s.application);
      case Scope::Kind::Shared: return "shared";
      case Scope::Kind::Profile: break;
    }
    if (!s.b_profile) return fmt::format("profile {} (- only)", *s.a_profile);
    if (!s.a_profile) return fmt::format("profile {} (+ only)", *s.b_profile);
    if (*s.a_profile == *s.b_profile) return fmt::format("profile {}", *s.a_profile);
    return fmt::format("profile {} / {}", *s.a_profile, *s.b_profile);
  }

  std::string ChangeName(const Change& c) const {
    std::string name = fmt::format("{} {} {}:", ChangeWord(c.kind), c.table, ScopeName(c.scope));
    for (const auto& [column, value] : c.key) name += fmt::format(" {}={}", column, Shown(value));
    return name;
  }

  // One side's value of a field: "-column: value", a multi-line value's
  // further lines below its first.
  void Value(char mark, const std::string& column, const Bytes& value) {
    const Paint paint = mark == '-' ? Paint::Old : Paint::New;
    if (!value) return Line(paint, fmt::format("{}{} (not set)", mark, column));
    const std::string indent(column.size() + 2, ' ');
    bool first = true;
    for (std::string_view line : kestrel::diff::SplitLines(*value)) {
      Line(paint, fmt::format("{}{}{}", mark, first ? column + ": " : indent, Shown(line)));
      first = false;
    }
  }

  void Field(const Change& c, const FieldChange& f) {
    if (c.kind == Change::Kind::Added) return Value('+', f.column, f.b);
    if (c.kind == Change::Kind::Removed) return Value('-', f.column, f.a);
    if (!kestrel::diff::ShownAsLines(f)) {
      Value('-', f.column, f.a);
      Value('+', f.column, f.b);
      return;
    }
    for (const Hunk& h : kestrel::diff::LineHunks(*f.a, *f.b, o_.context)) {
      Line(Paint::Fragment,
           fmt::format("@@ {} {} @@ {}", HunkRange('-', h.a_start, h.a_count), HunkRange('+', h.b_start, h.b_count),
                       f.column));
      for (const std::string& line : h.lines)
        Line(line[0] == '-' ? Paint::Old : line[0] == '+' ? Paint::New : Paint::Plain,
             line.substr(0, 1) + Shown(std::string_view(line).substr(1)));
    }
  }

 private:
  std::ostream& out_;
  const DiffTextOptions& o_;
};

void WriteSummary(Writer& w, const Result& r) {
  const auto list = [&](const auto& items) {
    std::string text;
    for (const auto& item : items) text += (text.empty() ? "" : ", ") + w.Shown(fmt::format("{}", item));
    return text.empty() ? std::string("none") : text;
  };
  if (r.profiles_replaced) w.Line(Writer::Paint::Plain, "the import would replace profiles: " + list(*r.profiles_replaced));
  if (r.applications_replaced)
    w.Line(Writer::Paint::Plain, "the import would replace applications: " + list(*r.applications_replaced));
  for (const auto& [scope, tables] : r.counts) {
    std::map<std::string_view, TableCounts> kinds;  // the tables' counts summed per kind
    for (const auto& [table, c] : tables) {
      TableCounts& k = kinds[kestrel::diff::KindOfTable(table)];
      k.added += c.added, k.removed += c.removed, k.changed += c.changed, k.same += c.same;
    }
    for (const auto& [kind, c] : kinds)
      if (c.Differs())
        w.Line(Writer::Paint::Plain, fmt::format("{}, {}: {} added, {} removed, {} changed, {} the same",
                                                 w.ScopeName(scope), kind, c.added, c.removed, c.changed, c.same));
  }
}

Json Text(const Bytes& b) { return b ? JsonText(*b) : Json(nullptr); }

void PutScope(Json& j, const Scope& s) {
  switch (s.kind) {
    case Scope::Kind::Profile:
      j["scope"] = "profile";
      j["a_profile"] = s.a_profile ? Json(*s.a_profile) : Json(nullptr);
      j["b_profile"] = s.b_profile ? Json(*s.b_profile) : Json(nullptr);
      break;
    case Scope::Kind::Application:
      j["scope"] = "application";
      j["application"] = JsonText(s.application);
      break;
    case Scope::Kind::Shared: j["scope"] = "shared"; break;
  }
}

Json HunksJson(const FieldChange& f, int context) {
  Json hunks = Json::array();
  for (const Hunk& h : kestrel::diff::LineHunks(*f.a, *f.b, context)) {
    Json lines = Json::array();
    for (const std::string& line : h.lines) lines.push_back(JsonText(line));
    hunks.push_back(Json{{"a_start", h.a_start}, {"a_count", h.a_count}, {"b_start", h.b_start},
                         {"b_count", h.b_count}, {"lines", std::move(lines)}});
  }
  return hunks;
}

Json ChangeJson(const Change& c, int context) {
  Json row;
  row["change"] = ChangeWord(c.kind);
  PutScope(row, c.scope);
  row["table"] = c.table;
  row["kind"] = kestrel::diff::KindOfTable(c.table);
  row["key"] = Json::object();
  for (const auto& [column, value] : c.key) row["key"][column] = JsonText(value);
  row["fields"] = Json::array();
  Json unchanged = Json::object();
  for (const FieldChange& f : c.fields) {
    if (!c.Differs(f)) {
      unchanged[f.column] = Text(f.a);
      continue;
    }
    Json field{{"column", f.column}};
    if (c.kind != Change::Kind::Added) field["a"] = Text(f.a);
    if (c.kind != Change::Kind::Removed) field["b"] = Text(f.b);
    if (c.kind == Change::Kind::Changed && kestrel::diff::ShownAsLines(f)) field["hunks"] = HunksJson(f, context);
    row["fields"].push_back(std::move(field));
  }
  if (c.kind == Change::Kind::Changed) row["unchanged"] = std::move(unchanged);
  return row;
}

}  // namespace

std::string SideName(const kestrel::diff::Side& side) {
  const std::string location = kestrel::store::MaskedText(side.location);
  return side.kind == kestrel::diff::Side::Kind::StoreProfile ? fmt::format("{}:{}", location, side.profile)
                                                             : location;
}

void WriteDiffText(std::ostream& out, const Result& r, const DiffTextOptions& options) {
  Writer w(out, options);
  if (options.mode == DiffTextOptions::Mode::NameOnly) {
    for (const Change& c : r.changes) w.Line(Writer::Paint::Plain, w.ChangeName(c));
    return;
  }
  const std::string a = w.Shown(SideName(r.a)), b = w.Shown(SideName(r.b));
  w.Line(Writer::Paint::Plain, fmt::format("{}: {} and {}", r.Equal() ? "equal" : "differ", a, b));
  if (r.ImportPreview())
    w.Line(Writer::Paint::Plain,
           fmt::format("what importing {} would change in {}: - the store's, + the pack's", b, a));
  if (r.Equal()) return;
  if (options.mode == DiffTextOptions::Mode::Full) {
    w.Line(Writer::Paint::Meta, "--- " + a);
    w.Line(Writer::Paint::Meta, "+++ " + b);
  }
  WriteSummary(w, r);
  if (options.mode != DiffTextOptions::Mode::Full) return;
  for (const Change& c : r.changes) {
    w.Line(Writer::Paint::Meta, w.ChangeName(c));
    for (const FieldChange& f : c.fields)
      if (c.Differs(f)) w.Field(c, f);
  }
}

Json DiffJson(const Result& r, bool details, int context) {
  Json j;
  j["a"] = JsonText(SideName(r.a));
  j["b"] = JsonText(SideName(r.b));
  j["import_preview"] = r.ImportPreview();
  j["equal"] = r.Equal();
  if (r.profiles_replaced) j["profiles_replaced"] = *r.profiles_replaced;
  if (r.applications_replaced) {
    j["applications_replaced"] = Json::array();
    for (const auto& a : *r.applications_replaced) j["applications_replaced"].push_back(JsonText(a));
  }
  j["summary"] = Json::array();
  for (const auto& [scope, tables] : r.counts)
    for (const auto& [table, c] : tables) {
      Json row;
      PutScope(row, scope);
      row["table"] = table;
      row["kind"] = kestrel::diff::KindOfTable(table);
      row["added"] = c.added;
      row["removed"] = c.removed;
      row["changed"] = c.changed;
      row["same"] = c.same;
      j["summary"].push_back(std::move(row));
    }
  if (!details) return j;
  j["changes"] = Json::array();
  for (const Change& c : r.changes) j["changes"].push_back(ChangeJson(c, context));
  return j;
}

}  // namespace kestrel::present
