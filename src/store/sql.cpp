// Value rendering and dialect fragments of statement text.
#include "store/sql.h"

#include <fmt/format.h>

#include "store/schema.h"

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
  return d == Dialect::TSql ? Number(n) : Number(n) + " ";
}

std::string NumberList(std::span<const int64_t> numbers) {
  std::string out;
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i) out += ',';
    out += Number(numbers[i]);
  }
  return out;
}

std::string Placeholder(Dialect d, size_t n) { return d == Dialect::Postgres ? fmt::format("${}", n) : "?"; }

std::string ParameterRows(Dialect d, size_t columns, size_t rows) {
  std::string text;
  for (size_t r = 0; r < rows; ++r) {
    text += r ? ",(" : "(";
    for (size_t i = 0; i < columns; ++i) {
      if (i) text += ',';
      text += Placeholder(d, r * columns + i + 1);
    }
    text += ')';
  }
  return text;
}

void AppendText(Query& q, Dialect d, std::string_view value) {
  if (d == Dialect::TSql) {
    q.text += Quoted(value);
  } else {
    q.values.emplace_back(std::string(value));
    q.text += Placeholder(d, q.values.size());
  }
}

std::string_view Concat(Dialect d) { return d == Dialect::TSql ? "+" : "||"; }

std::string CastToText(Dialect d, std::string_view expr) {
  if (d == Dialect::Postgres) return fmt::format("convert_from({}, 'LATIN1')", expr);
  return fmt::format("cast({} as {})", expr, d == Dialect::Sqlite ? "text" : "varchar");
}

std::string CastToBinary(Dialect d, std::string_view expr) {
  if (d == Dialect::Postgres) return fmt::format("convert_to(cast({} as text), 'LATIN1')", expr);
  return fmt::format("cast({} as {})", expr, d == Dialect::Sqlite ? "blob" : "varbinary");
}

std::string CastToInt(Dialect d, std::string_view expr) {
  if (d == Dialect::Postgres) return fmt::format("cast(encode({}, 'escape') as int)", expr);
  return fmt::format("cast({} as int)", expr);
}

std::string_view LimitOne(Dialect d) { return d == Dialect::TSql ? "" : " limit 1"; }

std::string StoredOrderKeys(Dialect d, std::string_view table, std::string_view columns) {
  const TableDef* t = FindTable(table);
  std::string out;
  size_t start = 0;
  while (start < columns.size()) {
    size_t end = columns.find(',', start);
    if (end == std::string_view::npos) end = columns.size();
    std::string_view name = columns.substr(start, end - start);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    ColumnType type = ColumnType::Integer;
    if (t)
      for (const auto& c : t->columns)
        if (c.name == name) type = c.type;
    // Text columns compare bytes by their own collation.
    if (type == ColumnType::Binary) out += CastToInt(d, name);
    else out.append(name);
    // The server puts NULL last in an ascending order; T-SQL and SQLite put
    // it first, and T-SQL has no words to say so.
    out += d == Dialect::Postgres ? " nulls first, " : ", ";
    start = end + 1;
  }
  return out.append(InsertionOrder(d));
}

std::string StoredOrder(Dialect d, std::string_view table, std::string_view columns) {
  if (d != Dialect::Postgres) return "";
  return " order by " + StoredOrderKeys(d, table, columns);
}

std::string JoinedByHashing(Dialect d, std::string select) {
  return d == Dialect::Postgres ? std::string(kJoinedByHashingMark) + select : select;
}

std::string_view InsertionOrder(Dialect d) { return d == Dialect::Postgres ? kInsertionOrderColumn : "rowid"; }

}  // namespace kestrel::store::sql
