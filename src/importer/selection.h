// The user's selection: its entries (a pack profile and what it becomes), the
// logic pack details string exchanged with the host that carries them
// (source list, CR, target list; entries joined by character 1, fields by
// "|"), its checks against the store and against itself, and the marking that
// tells the host which numbers and applications the store already holds.
// Internal to the import and its tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "importer/import_context.h"
#include "base/error.h"
#include "kestrel/error.h"

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

// One entry of a selection: a pack profile (the source list) or what the
// user chose it to become (the target list). The fields keep the text they
// came in (a details entry as the host wrote it, or a typed target's numbers
// written out): the checks compare them as text, the marking appends to them
// and the run log shows them as given.
struct SelectionEntry {
  std::string number, source_application, target_application, parent, source_extn, target_extn;
  // How many of the six fields a details entry had, and the ones it had
  // after the sixth: an entry is written back as it came.
  size_t given = 6;
  std::vector<std::string> more;

  // The fields of a details entry ("|"-joined; an empty text has none).
  static SelectionEntry Parse(std::string_view entry);
  static SelectionEntry Of(int64_t number, std::string source_application, std::string target_application,
                           int64_t parent, std::string source_extn, std::string target_extn);
  // Field k (0 to 5); one the entry lacks raises 9 "Subscript out of range".
  const std::string& Field(size_t k) const;
  std::string& Field(size_t k);
  // The entry as a details string carries it.
  std::string Text() const;
};

// The two lists of a selection, an entry per pack profile in each.
struct SelectionLists {
  std::vector<SelectionEntry> sources, targets;
};
// The lists of a details string (a missing line raises 9, as SplitDetails).
SelectionLists ParseSelection(const std::string& details);
// A list as a details string carries it: its entries joined by character 1.
std::string ListText(const std::vector<SelectionEntry>& entries);
// Both lists joined by a CR: the details string.
std::string DetailsText(const SelectionLists& lists);

// Element k of a split, or 9 "Subscript out of range" when there is none.
const std::string& Piece(const std::vector<std::string>& pieces, size_t k);
std::string_view Piece(const std::vector<std::string_view>& pieces, size_t k);

// The numeric value of a number field: blanks skipped, an optional sign, then
// the leading digits; anything else (empty, "abc") counts as 0, so a marked
// "12*" reads 12. NumberOf raises 6 "Overflow" beyond the 32-bit range.
int64_t NumericValue(std::string_view field);
int32_t NumberOf(std::string_view field);

// Whether a number fits the store's profile columns: 16 bits, signed.
bool IsProfileNumber(int64_t number);
// Raises 6 "Overflow: <what> <number> <where> is outside the 16-bit range"
// when it does not.
void CheckProfileNumber(int64_t number, std::string_view what, std::string_view where);
// The same for a field's text (read as NumericValue reads it), also when its
// number is beyond any whole number: the message quotes the field.
void CheckProfileField(std::string_view field, std::string_view what, std::string_view where);

// Raises when an application code cannot be imported: when it cannot name the
// pack's data files (empty, a path, a control character: 9006; too long for
// a file name: 9044), or when the details string and its marking cannot
// carry it ("*", "|": 9006 too). The
// text quotes the code and, after it, `where` ("in the target entry ...").
void CheckImportedApplicationCode(std::string_view code, std::string_view where);

// Raises when a selection entry holds a value the import cannot write: a
// profile number or parent outside 16 bits (6 "Overflow"), an application
// code CheckImportedApplicationCode refuses, a NUL byte (9040). `what` names
// the entry in the text ("the target entry"); the entry itself is quoted.
// Entries of fewer than four fields are left to the checks of the fields.
void CheckSelectionEntry(const SelectionEntry& entry, std::string_view what);

// The findings as the component's message shows them: each text followed by
// "<BR>".
std::string MessageOf(const std::vector<Error>& findings);
// The place of entry `entry` of a list (-1: the selection as a whole).
inline kestrel::Place EntryPlace(int64_t entry) {
  kestrel::Place place;
  place.entry = entry;
  return place;
}

// Checks every source and target entry with CheckSelectionEntry, and refuses
// a selection without any entry (9043: the pack names no profile). Gives
// every refusal in the order found (sources first), none when the values
// pass.
std::vector<Error> CheckSelectionValues(const SelectionLists& lists);

// The first field 1 that repeats (compared as text) in the target list: 501
// naming it, at its second entry; nothing when none repeats.
std::optional<Error> CheckTargetRepeats(const std::vector<SelectionEntry>& targets);

// Checks 502 (parent not lower), 503 (heterogeneous derivation) and 504 (an
// unrelated profile for a served application pair) on every target entry,
// logs the message of what it found and gives the findings, none when every
// entry passed. The source list is not consulted. A store look-up that fails
// raises its Failure.
std::vector<Error> VerifySelection(const ImportContext& cx, const std::vector<SelectionEntry>& targets);

// Marks an entry: "*" after a number or application the store holds, after a
// parent it does not hold ("0*" for a root). A `number` above 0 replaces the
// entry's number and parent (its stored parent, else 0) and is reset to 0.
SelectionEntry MarkSelectionEntry(const ImportContext& cx, const SelectionEntry& entry, int32_t& number);

}  // namespace kestrel::importer
