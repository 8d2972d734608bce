// Compares one table's rows of one scope on both sides, by key: rows of a key
// found equal on both sides are the same; what is left of a key is paired in
// file order as changed; what is left over is added or removed. Counts and
// changes go into the result. Internal to the diff.
#pragma once

#include <string_view>

#include "diff/pack_side.h"
#include "kestrel/diff.h"

namespace kestrel::diff {

void CompareRows(std::string_view table, const Scope& scope, const KeyedRows& a, const KeyedRows& b,
                 const Options& options, Result& out);

}  // namespace kestrel::diff
