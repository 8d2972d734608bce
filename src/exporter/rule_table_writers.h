// The rule table writers of the chain export: each copies the rows of one
// rule table for a list of profiles into one pack file. They are one
// procedure, ExportRuleTable, run with a row of the member table; the rows
// differ in table, file, query, what an empty selection means, the checked-out
// warning and the trap's tag, and in nothing else.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "exporter/export_context.h"
#include "exporter/export_results.h"
#include "pack/layout.h"
#include "store/connection.h"

namespace kestrel::exporter {

struct RuleTableMember {
  // What an empty selection means.
  enum class WhenEmpty : uint8_t {
    Fail,          // the failure below, false, no file
    EmptyFile,     // the file stays empty, true
    EmptyFileNote  // the file stays empty, a note in the manifest text, true
  };

  std::string_view procedure;  // "ExportQzmap120"
  std::string_view table;      // "qzmap120"
  std::string_view file;       // "Qzmap120.dat", with its case
  // Tagged record layout, or the row layout for the two row files.
  const pack::TaggedLayout* tagged;
  const pack::RowLayout* rows;
  // Current rules: the query ends in a blank after the profile list and,
  // unless the export is for synchronisation, leaves out development VRCs.
  bool current_rules;
  WhenEmpty when_empty;
  int32_t empty_number;          // with WhenEmpty::Fail
  std::string_view empty_text;   // with WhenEmpty::Fail
  bool checked_out_warning;      // a row whose logn names a user adds a warning
  std::string_view tag;          // the trap names the writer by it
};

// The member of a procedure ("ExportQzmap120") or table ("qzmap120"); the
// name must be one of them.
const RuleTableMember& RuleTableMemberOf(std::string_view procedure_or_table);

// The member's query for the listed profiles.
std::string RuleTableQuery(const RuleTableMember& m, store::Dialect d, std::span<const int64_t> profiles,
                           bool for_sync);

// Writes the member's file from the rows of the profiles in `profiles`
// (numbers joined by single blanks), as a synchronisation pack carries them
// when `for_sync`, and lists it among the rule files. True on success; on
// false the results' Error says why.
bool ExportRuleTable(ExportContext& ctx, ExportResults& r, const RuleTableMember& m, const std::string& profiles,
                     bool for_sync);

}  // namespace kestrel::exporter
