// The details string's pieces, number fields, and the marking of entries.
#include "importer/selection.h"

#include <limits>

#include "base/error.h"
#include "base/text.h"
#include "importer/hierarchy.h"
#include "importer/lookups.h"

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
    if (value > (std::numeric_limits<int64_t>::max() - 9) / 10) RaiseRuntime(rt::Overflow);
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
