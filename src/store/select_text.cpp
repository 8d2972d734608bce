// Finding the "*" of a "select * from ..." in a statement's text.
#include "store/select_text.h"

#include "base/text.h"

namespace kestrel::store {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Where the "*" of a "select * from ..." stands; npos for any other text.
size_t StarOfSelectAll(std::string_view s) {
  size_t i = 0;
  auto skip_blanks = [&] {
    while (i < s.size() && IsBlank(s[i])) ++i;
  };
  auto word = [&](std::string_view w) {
    if (s.size() - i < w.size() || !text::EqualNoCase(s.substr(i, w.size()), w)) return false;
    i += w.size();
    return true;
  };
  skip_blanks();
  if (!word("select") || i == s.size() || !IsBlank(s[i])) return std::string_view::npos;
  skip_blanks();
  if (i == s.size() || s[i] != '*') return std::string_view::npos;
  const size_t star = i++;
  skip_blanks();
  if (!word("from") || i == s.size() || !IsBlank(s[i])) return std::string_view::npos;
  return star;
}

}  // namespace

std::string SelectAllWithRowId(std::string_view statement, std::string_view rowid) {
  const size_t star = StarOfSelectAll(statement);
  if (star == std::string_view::npos) return {};
  std::string out(statement.substr(0, star + 1));
  out += ',';
  out += rowid;
  out.append(statement.substr(star + 1));
  return out;
}

}  // namespace kestrel::store
