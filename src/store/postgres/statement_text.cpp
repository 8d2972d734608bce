// Scanning statement texts outside their quotes and comments.
#include "store/postgres/statement_text.h"

#include <cctype>

#include "base/errors_ours.h"
#include "base/text.h"

namespace kestrel::store::postgres {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The position just past the quoted text or comment that starts at `i`, or
// `i` itself when none starts there.
size_t SkipQuotedOrComment(std::string_view s, size_t i) {
  const char c = s[i];
  if (c == '\'' || c == '"') {
    for (size_t j = i + 1; j < s.size(); ++j) {
      if (s[j] != c) continue;
      if (j + 1 < s.size() && s[j + 1] == c) {
        ++j;
        continue;
      }
      return j + 1;
    }
    return s.size();
  }
  if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
    const size_t end = s.find('\n', i);
    return end == std::string_view::npos ? s.size() : end + 1;
  }
  if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
    const size_t end = s.find("*/", i + 2);
    return end == std::string_view::npos ? s.size() : end + 2;
  }
  return i;
}

std::string_view FirstWord(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    if (IsBlank(s[i])) {
      ++i;
      continue;
    }
    const size_t past = SkipQuotedOrComment(s, i);
    if (past != i && s[i] != '\'' && s[i] != '"') {
      i = past;
      continue;
    }
    break;
  }
  size_t end = i;
  while (end < s.size() && IsWordChar(s[end])) ++end;
  return s.substr(i, end - i);
}

// The identifier at `i` (quoted or not, a schema before a "." dropped).
std::string NameAt(std::string_view s, size_t i) {
  std::string name;
  while (i < s.size()) {
    name.clear();
    if (s[i] == '"') {
      for (++i; i < s.size(); ++i) {
        if (s[i] == '"') {
          if (i + 1 < s.size() && s[i + 1] == '"') {
            name += '"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        name += s[i];
      }
    } else {
      while (i < s.size() && IsWordChar(s[i])) name += static_cast<char>(std::tolower(static_cast<unsigned char>(s[i++])));
    }
    if (i < s.size() && s[i] == '.') {
      ++i;
      continue;
    }
    break;
  }
  return name;
}

}  // namespace

std::string_view SingleStatement(std::string_view text) {
  size_t end = text.size();
  for (size_t i = 0; i < text.size();) {
    const size_t past = SkipQuotedOrComment(text, i);
    if (past != i) {
      i = past;
      continue;
    }
    if (text[i] == ';') {
      if (end == text.size()) end = i;
    } else if (!IsBlank(text[i]) && end != text.size()) {
      Raise(Ours::StatementNotSingle);
    }
    ++i;
  }
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

namespace {

// Whether one of `words` stands in the statement as a word of its own,
// outside quotes and comments.
bool HasWord(std::string_view s, std::initializer_list<std::string_view> words) {
  for (size_t i = 0; i < s.size();) {
    const size_t past = SkipQuotedOrComment(s, i);
    if (past != i) {
      i = past;
      continue;
    }
    if (!IsWordChar(s[i])) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < s.size() && IsWordChar(s[end])) ++end;
    for (std::string_view w : words)
      if (text::EqualNoCase(s.substr(i, end - i), w)) return true;
    i = end;
  }
  return false;
}

}  // namespace

StatementKind KindOf(std::string_view statement) {
  const std::string_view w = FirstWord(statement);
  // A "with" runs the statement after its common tables, which may write.
  if (text::EqualNoCase(w, "with"))
    return HasWord(statement, {"insert", "update", "delete", "merge"}) ? StatementKind::Write : StatementKind::Read;
  for (std::string_view control : {"begin", "start", "commit", "end", "rollback", "abort", "savepoint", "release",
                                   "set", "reset", "prepare", "deallocate", "declare", "close", "fetch", "move",
                                   "vacuum", "checkpoint"})
    if (text::EqualNoCase(w, control)) return StatementKind::Control;
  // Statements on the server's own objects cannot run inside a transaction.
  if ((text::EqualNoCase(w, "create") || text::EqualNoCase(w, "drop")) && HasWord(statement, {"database", "tablespace"}))
    return StatementKind::Control;
  for (std::string_view read : {"select", "values", "show", "table", "explain"})
    if (text::EqualNoCase(w, read)) return StatementKind::Read;
  return StatementKind::Write;
}

std::string TableChanged(std::string_view statement) {
  for (size_t i = 0; i < statement.size();) {
    const size_t past = SkipQuotedOrComment(statement, i);
    if (past != i) {
      i = past;
      continue;
    }
    if (!IsWordChar(statement[i]) || (i > 0 && IsWordChar(statement[i - 1]))) {
      ++i;
      continue;
    }
    for (auto [verb, preposition] : {std::pair<std::string_view, std::string_view>{"insert", "into"}, {"delete", "from"}}) {
      if (statement.size() - i < verb.size() || !text::EqualNoCase(statement.substr(i, verb.size()), verb)) continue;
      size_t j = i + verb.size();
      if (j < statement.size() && IsWordChar(statement[j])) continue;
      while (j < statement.size() && IsBlank(statement[j])) ++j;
      if (statement.size() - j < preposition.size() ||
          !text::EqualNoCase(statement.substr(j, preposition.size()), preposition))
        continue;
      j += preposition.size();
      while (j < statement.size() && IsBlank(statement[j])) ++j;
      return NameAt(statement, j);
    }
    while (i < statement.size() && IsWordChar(statement[i])) ++i;
  }
  return {};
}

}  // namespace kestrel::store::postgres
