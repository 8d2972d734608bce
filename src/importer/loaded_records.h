// Reading and converting the records of the loaders' files, apart from the
// store: LoadedRecords reads a pack file record by record and turns each
// record into the row its loader stores: profile renumbered through the import
// plan, VRC replaced from the header map, numbers and dates converted, columns
// a record leaves unset left out. The loaders (importer/loaders.h) store what
// it yields; the check before an import (importer/pack_check.h) runs it
// without a store, so both apply exactly the same rules.
// Internal to the import and its tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "base/value.h"
#include "importer/plan_lookups.h"
#include "importer/planned_pack.h"
#include "kestrel/env.h"
#include "pack/layout.h"
#include "pack/record_reader.h"

namespace kestrel::importer {

// The number a loader's trap gives a failure to read or convert its file.
inline constexpr int32_t kLoaderUnexpected = 899;

// Which loader reads a file: the loaders differ in how they replace the VRC,
// convert numbers and dates, and fill the columns a record leaves open.
enum class Loader : uint8_t {
  CurrentRules,    // LoadToMAP120_130_140_160
  RevisionRules,   // LoadToMAP110_125_135_145_165
  Library,         // LoadLibraryFiles
  SharedFunctions  // LoadToMAP150
};

// The procedure whose trap a failure to read or convert the loader's file
// ends in. The library loader has no trap of its own: its failures end in
// the profile import's.
constexpr std::string_view TrapProcedureOf(Loader loader) {
  switch (loader) {
    case Loader::CurrentRules: return "LoadToMAP120_130_140_160";
    case Loader::RevisionRules: return "LoadToMAP110_125_135_145_165";
    case Loader::Library: return "ImportProfileEx";
    case Loader::SharedFunctions: return "LoadToMAP150";
  }
  return "";
}

// The files of each loader, in the order it loads them.
inline constexpr std::array<const pack::TaggedLayout*, 5> kCurrentRuleFiles = {
    &pack::kQzmap120, &pack::kQzmap130, &pack::kQzmap140, &pack::kQzmap160, &pack::kQzmap170};
inline constexpr std::array<const pack::TaggedLayout*, 6> kRevisionRuleFiles = {
    &pack::kQzmap110, &pack::kQzmap125, &pack::kQzmap135, &pack::kQzmap145, &pack::kQzmap165, &pack::kQzmap175};

// The row one record gives its table: the columns it sets, in layout order,
// with their converted values. There is a slot for every field of the layout,
// kept from record to record so that the values reuse their storage; `set`
// tells which columns the record gives.
struct LoadedRow {
  struct Column {
    std::string_view name;
    Value value;
    bool set = false;
  };
  std::vector<Column> columns;
  size_t line = 0;  // the record's first line in its file
  // The profile number as the file gives it (before the plan renumbers it);
  // empty when the record sets none.
  std::optional<int64_t> profile;

  // The value of a column, or nullptr when the record leaves it unset.
  const Value* Find(std::string_view column) const;
};

class LoadedRecords {
 public:
  // Opens the layout's file in the pack folder (its name matched without
  // regard to case); a missing file raises 53. Profiles are renumbered through
  // the pack's plan and given the VRCs of `header_map`. Both must outlive the
  // reader.
  LoadedRecords(Env& env, const PlannedPack& planned, const std::vector<std::string>& header_map, Loader loader,
                const pack::TaggedLayout& layout);

  // Reads and converts the next record; false at the end of the file.
  // Raises what the loader fails on: 9008 for a line outside the format
  // (naming file and line), 13 for a number or date that does not convert
  // (also a header map number), 6 for a number out of range.
  bool Next(LoadedRow& row);

  const pack::TaggedLayout& layout() const { return layout_; }
  // The first line of the record read last (or being read when Next failed);
  // 0 before the first record.
  size_t record_line() const { return record_.line(); }
  void Close() { reader_->Close(); }

 private:
  // A profile as read and where the import puts it.
  struct Identity {
    int64_t read = 0;                 // the number in the file
    int32_t mprf = 0;                 // the number it is stored under
    std::optional<HeaderMatch> entry; // its header map entry, when it has one
  };
  // How the loader turns a field's text into its column's value.
  enum class Conversion : uint8_t {
    Text, Profile16, Profile32, Whole16, RoundedDown, Date, RevisionFlag, Flag
  };
  // What the loader puts in a column the record leaves unset.
  enum class WhenUnset : uint8_t { Nothing, LoadTime, ImportingUser };
  struct FieldPlan {
    Conversion conversion = Conversion::Text;
    WhenUnset unset = WhenUnset::Nothing;
  };
  void Convert(LoadedRow& row);
  void Identify(LoadedRow& row);
  const std::string& LoadTime();

  Env& env_;
  const PlannedPack planned_;
  const std::vector<std::string>& header_map_;
  Loader loader_;
  const pack::TaggedLayout& layout_;
  std::vector<FieldPlan> plan_;  // one per field, worked out once per file
  int mprf_ = -1, vers_ = -1, rele_ = -1, cust_ = -1;  // their fields, -1 when the layout has none
  std::unique_ptr<pack::TaggedRecordReader> reader_;
  pack::TaggedRecord record_;
  std::optional<Identity> last_;  // the previous record's profile, reused while it repeats
  std::optional<DateTime> load_time_;  // the clock as last read, and its text
  std::string load_time_text_;
};

}  // namespace kestrel::importer
