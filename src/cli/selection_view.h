// How `show` and `verify` present a logic pack details string: a readable
// table (one profile per row, markers visible and explained), JSON for host
// programs, and the target entries a user may give on the command line.
#pragma once

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "kestrel/details.h"

namespace kestrel::cli {

using kestrel::DetailsView;
using kestrel::EntryFields;

void PrintDetailsTable(std::ostream& out, const DetailsView& view);

// {"details": ..., "source": [...], "target": [...]} and, when `verified`,
// "passed" and "messages". Texts are bytes: every byte outside printable
// ASCII is written as \u00XX of its value.
void PrintDetailsJson(std::ostream& out, const std::string& details, const DetailsView& view, bool verified,
                      bool passed, const std::vector<std::string>& messages);

std::string JsonString(const std::string& bytes);

}  // namespace kestrel::cli
