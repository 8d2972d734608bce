// Statement texts of the check before an import.
#include "store/statements_import_check.h"

#include <fmt/format.h>

#include "store/sql.h"

namespace kestrel::store {

std::string SelectUniqueKeyColumns(Dialect d, std::string_view table) {
  const std::string name = sql::Quoted(table);
  if (d == Dialect::TSql)
    return fmt::format(
        "select i.name as keyn, c.name as coln from sys.indexes i"
        " join sys.index_columns ic on ic.object_id = i.object_id and ic.index_id = i.index_id"
        " join sys.columns c on c.object_id = ic.object_id and c.column_id = ic.column_id"
        " where i.object_id = object_id({}) and i.is_unique = 1 and ic.is_included_column = 0"
        " order by i.name, ic.key_ordinal",
        name);
  // An expression's place in an index has no column: coln is NULL there.
  if (d == Dialect::Postgres)
    return fmt::format(
        "select i.relname as keyn, k.pos as pos, a.attname as coln from pg_index x"
        " join pg_class i on i.oid = x.indexrelid"
        " cross join lateral unnest(x.indkey) with ordinality as k(attnum, pos)"
        " left join pg_attribute a on a.attrelid = x.indrelid and a.attnum = k.attnum"
        " where x.indrelid = to_regclass({}) and x.indisunique and k.pos <= x.indnkeyatts"
        " order by 1, 2",
        name);
  // A rowid table's integer primary key is no index: the table's own list gives it.
  return fmt::format(
      "select il.name as keyn, ii.seqno as pos, ii.name as coln from pragma_index_list({0})"
      " as il, pragma_index_info(il.name) as ii where il.\"unique\" = 1 and il.origin <> 'pk'"
      " union all select '(primary key)', pk, name from pragma_table_info({0}) where pk > 0"
      " order by 1, 2",
      name);
}

std::string SelectColumnTypes(Dialect d, std::string_view table) {
  if (d == Dialect::TSql)
    return fmt::format(
        "select COLUMN_NAME as coln, DATA_TYPE + case when CHARACTER_MAXIMUM_LENGTH > 0 then '(' + "
        "cast(CHARACTER_MAXIMUM_LENGTH as varchar) + ')' else '' end as typen from INFORMATION_SCHEMA.COLUMNS "
        "where TABLE_NAME = {}",
        sql::Quoted(table));
  // The catalogue itself, not its standard views: those take milliseconds a
  // table to plan, which a small pack's import would mostly spend here.
  if (d == Dialect::Postgres)
    return fmt::format(
        "select attname as coln, format_type(atttypid, atttypmod) as typen from pg_attribute"
        " where attrelid = to_regclass({}) and attnum > 0 and not attisdropped and attname <> {}",
        sql::Quoted(table), sql::Quoted(sql::kInsertionOrderColumn));
  return fmt::format("select name as coln, type as typen from pragma_table_info({})", sql::Quoted(table));
}

Query SelectRowWithKey(Dialect d, std::string_view table, const std::vector<std::string>& columns,
                       const std::vector<std::string>& values, const std::vector<std::string>& left_out_applications) {
  Query q;
  q.text = (d == Dialect::TSql ? "select top 1 1 from " : "select 1 from ") + std::string(table) + " where ";
  for (size_t i = 0; i < columns.size() && i < values.size(); ++i) {
    if (i) q.text += " and ";
    q.text += columns[i] + " = ";
    sql::AppendText(q, d, values[i]);
  }
  if (!left_out_applications.empty()) {
    q.text += " and appl not in (";
    for (size_t i = 0; i < left_out_applications.size(); ++i) {
      if (i) q.text += ", ";
      sql::AppendText(q, d, left_out_applications[i]);
    }
    q.text += ")";
  }
  q.text += sql::LimitOne(d);
  return q;
}

}  // namespace kestrel::store
