// How a difference is shown: as text in the manner of a unified diff (a
// summary, then each object that differs with its fields, the lines of a
// multi-line value as hunks with their context), and as JSON with every
// field. One shape for `kestrel diff` and the web wizard's diff page.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "kestrel/diff.h"
#include "present/json.h"

namespace kestrel::present {

struct DiffTextOptions {
  enum class Mode {
    Full,      // the summary, then every object that differs with its fields
    Stat,      // the summary alone
    NameOnly,  // one line per object that differs, nothing else
  };
  Mode mode = Mode::Full;
  int context = 3;      // unchanged lines around the changed ones of a multi-line value
  bool colour = false;  // terminal colours: headers bold, hunk headers cyan, `-` red, `+` green
  // How a stored text (Latin-1 bytes) or a location is written out; nullptr: as it is.
  std::function<std::string(std::string_view)> shown;
};

// A side as the user named it: the location (its password masked), with
// ":PROFILE" for a profile of a store.
std::string SideName(const kestrel::diff::Side& side);

// The text of `r`, every line ended by "\n".
void WriteDiffText(std::ostream& out, const kestrel::diff::Result& r, const DiffTextOptions& options);

// {"a", "b", "import_preview", "equal", "profiles_replaced"?,
// "applications_replaced"?, "summary": [...], "changes": [...]} ("changes"
// only with `details`). A change names its scope, table, kind and key; its
// "fields" are the columns that differ on a changed row ({"column", "a", "b"},
// and "hunks" for a multi-line value) or every column of an added ("b") or
// removed ("a") row; a changed row's "unchanged" holds the rest of it.
Json DiffJson(const kestrel::diff::Result& r, bool details, int context);

}  // namespace kestrel::present
