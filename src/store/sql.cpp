// Value rendering and dialect fragments of statement text.
#include "store/sql.h"

namespace kestrel::store::sql {

std::string Text(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string Quoted(std::string_view value) { return "'" + Text(value) + "'"; }

std::string Number(int64_t n) { return std::to_string(n); }

std::string NumberBeforeWord(Dialect d, int64_t n) {
  return d == Dialect::Sqlite ? Number(n) + " " : Number(n);
}

std::string NumberList(std::span<const int64_t> numbers) {
  std::string out;
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i) out += ',';
    out += Number(numbers[i]);
  }
  return out;
}

std::string Placeholder(Dialect, size_t) { return "?"; }

void AppendText(Query& q, Dialect d, std::string_view value) {
  if (d == Dialect::TSql) {
    q.text += Quoted(value);
  } else {
    q.values.emplace_back(std::string(value));
    q.text += Placeholder(d, q.values.size());
  }
}

void AppendNumber(Query& q, Dialect d, int64_t n) {
  if (d == Dialect::TSql) {
    q.text += Number(n);
  } else {
    q.values.emplace_back(n);
    q.text += Placeholder(d, q.values.size());
  }
}

std::string_view Concat(Dialect d) { return d == Dialect::Sqlite ? "||" : "+"; }

std::string CastToText(Dialect d, std::string_view expr) {
  return "cast(" + std::string(expr) + (d == Dialect::Sqlite ? " as text)" : " as varchar)");
}

std::string CastToBinary(Dialect d, std::string_view expr) {
  return "cast(" + std::string(expr) + (d == Dialect::Sqlite ? " as blob)" : " as varbinary)");
}

std::string CastToInt(Dialect, std::string_view expr) { return "cast(" + std::string(expr) + " as int)"; }

}  // namespace kestrel::store::sql
