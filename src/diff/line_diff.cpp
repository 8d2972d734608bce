// The lines of two texts compared as a unified diff shows them: the edit
// script from the diff template library, gathered into hunks with their
// context.
#include <dtl/dtl.hpp>

#include <algorithm>

#include "kestrel/diff.h"

namespace kestrel::diff {
namespace {

// One line of the edit script: ' ' on both sides, '-' A's only, '+' B's only.
struct Edit {
  char op;
  std::string_view line;
};

// The edit script, the removed lines of each run of changes before its added
// ones (the library may give them the other way round).
std::vector<Edit> EditScript(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b) {
  dtl::Diff<std::string_view, std::vector<std::string_view>> d(a, b);
  d.compose();
  std::vector<Edit> out, added;
  for (const auto& [line, info] : d.getSes().getSequence()) {
    if (info.type == dtl::SES_ADD) {
      added.push_back({'+', line});
      continue;
    }
    if (info.type == dtl::SES_COMMON) out.insert(out.end(), added.begin(), added.end()), added.clear();
    out.push_back({info.type == dtl::SES_DELETE ? '-' : ' ', line});
  }
  out.insert(out.end(), added.begin(), added.end());
  return out;
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (;;) {
    const size_t end = text.find("\r\n");
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) return lines;
    text.remove_prefix(end + 2);
  }
}

bool ShownAsLines(const FieldChange& f) {
  return f.a && f.b && (f.a->find("\r\n") != std::string::npos || f.b->find("\r\n") != std::string::npos);
}

std::vector<Hunk> LineHunks(std::string_view a, std::string_view b, int context) {
  const std::vector<Edit> edits = EditScript(SplitLines(a), SplitLines(b));
  const size_t around = static_cast<size_t>(std::max(context, 0));
  std::vector<Hunk> hunks;
  // Positions (1-based) of the next line on each side, and the edit each hunk begins at.
  int64_t a_line = 1, b_line = 1;
  size_t i = 0;
  while (i < edits.size()) {
    if (edits[i].op == ' ') {
      ++i, ++a_line, ++b_line;
      continue;
    }
    // A change at edit i: the hunk starts `around` unchanged lines before it
    // and runs on while the next change is at most twice that far.
    const size_t before = std::min(around, static_cast<size_t>(std::min(a_line, b_line) - 1));
    size_t first = i - std::min(before, i);
    size_t last = i;  // the last change of the hunk
    for (size_t j = i + 1; j < edits.size(); ++j) {
      if (edits[j].op == ' ') {
        if (j - last > 2 * around) break;
        continue;
      }
      last = j;
    }
    const size_t end = std::min(edits.size(), last + 1 + around);
    Hunk h;
    h.a_start = a_line - static_cast<int64_t>(i - first);
    h.b_start = b_line - static_cast<int64_t>(i - first);
    for (size_t j = first; j < end; ++j) {
      h.lines.push_back(edits[j].op + std::string(edits[j].line));
      if (edits[j].op != '+') ++h.a_count;
      if (edits[j].op != '-') ++h.b_count;
    }
    for (size_t j = i; j < end; ++j) {
      if (edits[j].op != '+') ++a_line;
      if (edits[j].op != '-') ++b_line;
    }
    // A side with no line in the hunk names the line before it.
    if (h.a_count == 0) --h.a_start;
    if (h.b_count == 0) --h.b_start;
    hunks.push_back(std::move(h));
    i = end;
  }
  return hunks;
}

}  // namespace kestrel::diff
