// The user's selection: the logic pack details string exchanged with the host
// (source list, CR, target list; entries joined by character 1, fields by
// "|"), its checks against the store and against itself, and the marking that
// tells the host which numbers and applications the store already holds.
// Internal to the import and its tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "importer/import_context.h"
#include "base/error.h"

namespace kestrel::importer {

inline constexpr char kDetailsLineEnd = '\r';          // between source and target list
inline constexpr char kEntrySeparator = '\x01';        // between the entries of a list
inline constexpr std::string_view kMessageEnd = "<BR>"; // after every message
inline constexpr char kMarker = '*';                   // flag appended by the marking

// The two lines of a details string. Anything after a second CR is ignored;
// a missing line raises 9 "Subscript out of range", as the run time did when
// the details had no second line.
struct DetailsLines {
  std::string Contents;    // line 1: what the pack holds
  std::string Preference;  // line 2: what the store shall receive
};
DetailsLines SplitDetails(const std::string& details);

// The entries of a list (or the fields of an entry) by the run time's rule:
// an empty text has none.
std::vector<std::string> SplitList(std::string_view text, std::string_view separator);
std::vector<std::string> SplitEntry(std::string_view entry);  // at "|"
// Entries joined by character 1.
std::string JoinList(const std::vector<std::string>& entries);

// Element k of a split, or 9 "Subscript out of range" when there is none.
const std::string& Piece(const std::vector<std::string>& pieces, size_t k);
std::string_view Piece(const std::vector<std::string_view>& pieces, size_t k);

// The numeric value of a number field: blanks skipped, an optional sign, then
// the leading digits; anything else (empty, "abc") counts as 0, so a marked
// "12*" reads 12. NumberOf raises 6 "Overflow" beyond the 32-bit range.
int64_t NumericValue(std::string_view field);
int32_t NumberOf(std::string_view field);

// True when field 1 repeats (compared as text) anywhere in the target list:
// `message` names it, the error state is 501.
bool CheckTargetRepeats(ErrorState& error, const std::vector<std::string>& targets, std::string& message);

// Checks 502 (parent not lower), 503 (heterogeneous derivation) and 504 (an
// unrelated profile for a served application pair) on every target entry;
// every message found is appended, each ending with "<BR>". True when none
// fired. The source list is not consulted.
bool VerifySelection(const ImportContext& cx, ErrorState& error, const std::vector<std::string>& sources,
                     const std::vector<std::string>& targets, std::string& message);

// Marks an entry: "*" after a number or application the store holds, after a
// parent it does not hold ("0*" for a root). A `number` above 0 replaces the
// entry's number and parent (its stored parent, else 0) and is reset to 0.
void MarkSelectionEntry(const ImportContext& cx, ErrorState& error, const std::string& entry, int32_t& number,
                        std::string& result);

}  // namespace kestrel::importer
