// Fuzz target: the logic pack details string a host hands back, and
// --target entries. The input up to its first LF is the details string; each
// later line is a target entry.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "importer/selection.h"
#include "kestrel/details.h"

using namespace kestrel;

namespace {

void CheckEntries(const importer::SelectionLists& lists) {
  importer::CheckSelectionValues(lists);
  try {
    importer::CheckTargetRepeats(lists.targets);
  } catch (const ComError&) {
  }
  for (const importer::SelectionEntry& entry : lists.targets) {
    for (const std::string& field : importer::SplitEntry(entry.Text())) {
      importer::NumericValue(field);
      try {
        importer::NumberOf(field);
      } catch (const ComError&) {
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t end = input.find('\n');
  const std::string details(input.substr(0, end));
  std::vector<std::string> entries;
  for (size_t at = end; at != std::string_view::npos;) {
    const size_t next = input.find('\n', at + 1);
    entries.emplace_back(input.substr(at + 1, next == std::string_view::npos ? next : next - at - 1));
    at = next;
  }

  DetailsView view = ParseDetails(details);
  UnmarkedTargets(details);
  MarkedForReplacement(details);
  SplitMessages(details);
  std::vector<std::string> usable;
  for (const std::string& entry : entries)
    if (TargetEntryProblem(entry).empty()) usable.push_back(entry);
  const std::string edited = DetailsWithTargets(details, usable);
  for (const std::string& text : {details, edited}) {
    try {
      const importer::SelectionLists lists = importer::ParseSelection(text);
      // An entry is written back as it came.
      if (importer::DetailsText(lists) != text.substr(0, text.find('\r', text.find('\r') + 1))) __builtin_trap();
      CheckEntries(lists);
    } catch (const ComError&) {
    }
  }
  // A usable entry is taken as given: it is the edited details' target list.
  if (!usable.empty() && ParseDetails(edited).targets.size() != usable.size()) __builtin_trap();
  (void)view;
  return 0;
}
