// The details string's pieces, number fields, and the marking of entries.
#include "importer/selection.h"

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

void CheckSelectionEntry(std::string_view entry, std::string_view what) {
  const std::string where = fmt::format("in {} {}", what, QuoteForMessage(entry, 200));
  if (entry.find('\0') != std::string_view::npos)
    RaiseWithDetail(Ours::NulInValue, where);
  const auto fields = SplitEntry(entry);
  if (fields.size() < 4) return;
  CheckProfileField(fields[0], "the profile number", where);
  CheckProfileField(fields[3], "the parent profile", where);
  CheckImportedApplicationCode(fields[1], where);
  CheckImportedApplicationCode(fields[2], where);
}

bool CheckSelectionValues(ErrorState& error, const std::vector<std::string>& sources,
                          const std::vector<std::string>& targets, std::string& message) {
  bool passed = true;
  auto refuse = [&](int32_t number, const std::string& text) {
    message += text;
    message += kMessageEnd;
    error.Set(number, text);
    passed = false;
  };
  if (sources.empty() && targets.empty())
    refuse(Number(Ours::NothingToImport),
           TextWithDetail(Ours::NothingToImport, "its header file Qzmap100.dat holds no profile"));
  for (const auto* list : {&sources, &targets})
    for (const auto& entry : *list) {
      try {
        CheckSelectionEntry(entry, list == &sources ? "the pack's entry" : "the target entry");
      } catch (const ComError& e) {
        refuse(e.number(), e.description());
      }
    }
  return passed;
}

void MarkSelectionEntry(const ImportContext& cx, ErrorState& error, const std::string& entry, int32_t& number,
                        std::string& result) {
  auto fields = SplitEntry(entry);
  Piece(fields, 3);  // an entry without a parent field cannot be marked

  if (number > 0) {
    fields[0] = std::to_string(number);
    if (ProfileExists(cx, error, number)) fields[0] += kMarker;
  } else if (ProfileExists(cx, error, NumericValue(fields[0]))) {
    fields[0] += kMarker;
  }
  for (size_t k : {size_t{1}, size_t{2}})
    if (ApplicationExists(cx, error, fields[k])) fields[k] += kMarker;

  if (number > 0) {
    // The announced number takes the place the store gives it: its stored
    // parent, or none.
    std::string parent = "0";
    if (ProfileExists(cx, error, number)) {
      std::string stored(text::TrimBlanks(GetParentProfile(cx, number)));
      if (NumericValue(stored) >= 1) parent = stored;
    }
    fields[3] = parent;
    number = 0;
  }
  if (!ProfileExists(cx, error, NumericValue(fields[3]))) fields[3] += kMarker;

  result.clear();
  for (size_t k = 0; k < fields.size(); ++k) {
    if (k) result += '|';
    result += fields[k];
  }
}

}  // namespace kestrel::importer
