// The details string's pieces, number fields, and the marking of entries.
#include "importer/selection.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"
#include "importer/hierarchy.h"
#include "importer/lookups.h"
#include "pack/naming.h"

namespace kestrel::importer {

std::vector<std::string> SplitList(std::string_view text, std::string_view separator) {
  if (text.empty()) return {};
  return text::Split(text, separator);
}

std::vector<std::string> SplitEntry(std::string_view entry) { return SplitList(entry, "|"); }

std::string JoinList(const std::vector<std::string>& entries) {
  std::string out;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i) out += kEntrySeparator;
    out += entries[i];
  }
  return out;
}

const std::string& Piece(const std::vector<std::string>& pieces, size_t k) {
  if (k >= pieces.size()) RaiseRuntime(rt::SubscriptOutOfRange);
  return pieces[k];
}

std::string_view Piece(const std::vector<std::string_view>& pieces, size_t k) {
  if (k >= pieces.size()) RaiseRuntime(rt::SubscriptOutOfRange);
  return pieces[k];
}

DetailsLines SplitDetails(const std::string& details) {
  auto lines = SplitList(details, std::string_view(&kDetailsLineEnd, 1));
  return DetailsLines{Piece(lines, 0), Piece(lines, 1)};
}

namespace {

constexpr size_t kEntryFields = 6;

// Field k of an entry, const or not; k must be below kEntryFields.
template <class Entry>
auto& FieldOf(Entry& e, size_t k) {
  switch (k) {
    case 0: return e.number;
    case 1: return e.source_application;
    case 2: return e.target_application;
    case 3: return e.parent;
    case 4: return e.source_extn;
    default: return e.target_extn;
  }
}

std::vector<SelectionEntry> ParseList(std::string_view list) {
  std::vector<SelectionEntry> entries;
  for (const std::string& entry : SplitList(list, std::string_view(&kEntrySeparator, 1)))
    entries.push_back(SelectionEntry::Parse(entry));
  return entries;
}

}  // namespace

SelectionEntry SelectionEntry::Parse(std::string_view entry) {
  std::vector<std::string> fields = SplitEntry(entry);
  SelectionEntry e;
  e.given = std::min(fields.size(), kEntryFields);
  for (size_t k = 0; k < e.given; ++k) FieldOf(e, k) = std::move(fields[k]);
  e.more.assign(std::make_move_iterator(fields.begin() + static_cast<ptrdiff_t>(e.given)),
                std::make_move_iterator(fields.end()));
  return e;
}

SelectionEntry SelectionEntry::Of(int64_t number, std::string source_application, std::string target_application,
                                  int64_t parent, std::string source_extn, std::string target_extn) {
  SelectionEntry e;
  e.number = std::to_string(number);
  e.source_application = std::move(source_application);
  e.target_application = std::move(target_application);
  e.parent = std::to_string(parent);
  e.source_extn = std::move(source_extn);
  e.target_extn = std::move(target_extn);
  return e;
}

const std::string& SelectionEntry::Field(size_t k) const {
  if (k >= given) RaiseRuntime(rt::SubscriptOutOfRange);
  return FieldOf(*this, k);
}

std::string& SelectionEntry::Field(size_t k) {
  if (k >= given) RaiseRuntime(rt::SubscriptOutOfRange);
  return FieldOf(*this, k);
}

std::string SelectionEntry::Text() const {
  std::string text;
  for (size_t k = 0; k < given + more.size(); ++k) {
    if (k) text += '|';
    text += k < given ? Field(k) : more[k - given];
  }
  return text;
}

SelectionLists ParseSelection(const std::string& details) {
  const DetailsLines lines = SplitDetails(details);
  return SelectionLists{ParseList(lines.Contents), ParseList(lines.Preference)};
}

std::string ListText(const std::vector<SelectionEntry>& entries) {
  std::string out;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i) out += kEntrySeparator;
    out += entries[i].Text();
  }
  return out;
}

std::string DetailsText(const SelectionLists& lists) {
  return ListText(lists.sources) + kDetailsLineEnd + ListText(lists.targets);
}

int64_t NumericValue(std::string_view field) {
  size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
  int64_t value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    if (value > (std::numeric_limits<int64_t>::max() - 9) / 10)
      throw ComError(rt::Overflow, "Overflow: the number " + QuoteForMessage(field) + " is too large");
    value = value * 10 + (field[i] - '0');
  }
  return negative ? -value : value;
}

int32_t NumberOf(std::string_view field) {
  int64_t v = NumericValue(field);
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    RaiseRuntime(rt::Overflow);
  return static_cast<int32_t>(v);
}

bool IsProfileNumber(int64_t number) {
  return number >= std::numeric_limits<int16_t>::min() && number <= std::numeric_limits<int16_t>::max();
}

void CheckProfileNumber(int64_t number, std::string_view what, std::string_view where) {
  if (!IsProfileNumber(number))
    throw ComError(rt::Overflow, fmt::format("Overflow: {} {} {} is outside the 16-bit range", what, number, where));
}

void CheckProfileField(std::string_view field, std::string_view what, std::string_view where) {
  int64_t number = 0;
  try {
    number = NumericValue(field);
  } catch (const ComError& e) {
    if (e.number() != rt::Overflow) throw;
    throw ComError(rt::Overflow,
                   fmt::format("Overflow: {} {} {} is outside the 16-bit range", what, QuoteForMessage(field), where));
  }
  CheckProfileNumber(number, what, where);
}

void CheckImportedApplicationCode(std::string_view code, std::string_view where) {
  try {
    pack::CheckApplicationCode(code);
  } catch (const ComError& e) {
    throw ComError(e.number(), e.description() + " " + std::string(where));
  }
  // The import names files "<table><code>.dat" (tables of eight letters).
  constexpr size_t kLongestCode = 255 - 8 - 4;
  if (code.size() > kLongestCode)
    RaiseWithDetail(Ours::ApplicationCodeTooLong,
                    fmt::format("{} has {} bytes, a data file's name leaves room for {} {}", QuoteForMessage(code),
                                code.size(), kLongestCode, where));
  // The marking appends "*" to a code the store holds, and "|" splits an entry.
  for (char c : {kMarker, '|'})
    if (code.find(c) != std::string_view::npos)
      RaiseWithDetail(Ours::BadApplicationCode,
                      fmt::format("{}, the code holds \"{}\" {}", QuoteForMessage(code), c, where));
}

void CheckSelectionEntry(const SelectionEntry& entry, std::string_view what) {
  const std::string text = entry.Text();
  const std::string where = fmt::format("in {} {}", what, QuoteForMessage(text, 200));
  if (text.find('\0') != std::string::npos)
    RaiseWithDetail(Ours::NulInValue, where);
  if (entry.given < 4) return;
  CheckProfileField(entry.number, "the profile number", where);
  CheckProfileField(entry.parent, "the parent profile", where);
  CheckImportedApplicationCode(entry.source_application, where);
  CheckImportedApplicationCode(entry.target_application, where);
}

std::string MessageOf(const std::vector<Error>& findings) {
  std::string message;
  for (const Error& e : findings) {
    message += e.text();
    message += kMessageEnd;
  }
  return message;
}

std::vector<Error> CheckSelectionValues(const SelectionLists& lists) {
  std::vector<Error> findings;
  auto refuse = [&](int32_t number, const std::string& text, int64_t entry) {
    findings.emplace_back(number, text, EntryPlace(entry));
  };
  if (lists.sources.empty() && lists.targets.empty())
    refuse(Number(Ours::NothingToImport),
           TextWithDetail(Ours::NothingToImport, "its header file Qzmap100.dat holds no profile"), -1);
  for (const auto* list : {&lists.sources, &lists.targets})
    for (size_t i = 0; i < list->size(); ++i) {
      try {
        CheckSelectionEntry((*list)[i], list == &lists.sources ? "the pack's entry" : "the target entry");
      } catch (const ComError& e) {
        refuse(e.number(), e.description(), static_cast<int64_t>(i));
      }
    }
  return findings;
}

SelectionEntry MarkSelectionEntry(const ImportContext& cx, const SelectionEntry& entry, int32_t& number) {
  entry.Field(3);  // an entry without a parent field cannot be marked
  SelectionEntry marked = entry;

  if (number > 0) {
    marked.number = std::to_string(number);
    if (ProfileExists(cx, number)) marked.number += kMarker;
  } else if (ProfileExists(cx, NumericValue(marked.number))) {
    marked.number += kMarker;
  }
  for (std::string* application : {&marked.source_application, &marked.target_application})
    if (ApplicationExists(cx, *application)) *application += kMarker;

  if (number > 0) {
    // The announced number takes the place the store gives it: its stored
    // parent, or none.
    std::string parent = "0";
    if (ProfileExists(cx, number)) {
      std::string stored(text::TrimBlanks(GetParentProfile(cx, number)));
      if (NumericValue(stored) >= 1) parent = stored;
    }
    marked.parent = parent;
    number = 0;
  }
  if (!ProfileExists(cx, NumericValue(marked.parent))) marked.parent += kMarker;
  return marked;
}

}  // namespace kestrel::importer
