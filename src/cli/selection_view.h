// How `show` and `verify` print a pack's profiles with their targets as a
// readable table: one profile per row, what the store holds marked and the
// markers explained (the JSON is present/import_view.h's).
#pragma once

#include <ostream>
#include <vector>

#include "kestrel/engine.h"

namespace kestrel::cli {

void PrintDetailsTable(std::ostream& out, const std::vector<kestrel::PackProfile>& sources,
                       const std::vector<kestrel::Target>& targets);

}  // namespace kestrel::cli
