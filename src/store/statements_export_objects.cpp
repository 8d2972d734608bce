// Statement texts of the single-profile export's mapping objects.
#include "store/statements_export_objects.h"

#include <functional>
#include <iterator>

#include <fmt/format.h>

#include "store/sql.h"

namespace kestrel::store {

namespace {

// "mprf = 12 and vers = 'X42U' and rele = 'c' and cust = 'ab1'" of `alias`.
std::string ProfileOf(std::string_view alias, const RuleLevel& l) {
  return fmt::format("{0}.mprf = {1} and {0}.vers = {2} and {0}.rele = {3} and {0}.cust = {4}", alias,
                     sql::Number(l.mprf), sql::Quoted(l.vers), sql::Quoted(l.rele), sql::Quoted(l.cust));
}

// Whether level `l` has qzmap120 rows for object o.
std::string HasRulesAt(const RuleLevel& l) {
  return fmt::format("exists (select 1 from qzmap120 x where {} and x.tcpac = o.cpac and x.tcmod = o.cmod and "
                     "x.tflno = o.flno)",
                     ProfileOf("x", l));
}

// "case when <rules at level 1> then V1 when <rules at level 2> then V2 ...
// end": the value of object o's level, NULL when no level has rules for it.
// Each level is a constant of the statement, so that a store finds an
// object's rows by the index on the profile number and the object, in the
// order they were added, and needs no sort.
std::string ByLevelOfObject(std::span<const RuleLevel> levels, const std::function<std::string(size_t)>& value) {
  std::string s = "case";
  for (size_t i = 0; i < levels.size(); ++i)
    fmt::format_to(std::back_inserter(s), " when {} then {}", HasRulesAt(levels[i]), value(i));
  return s + " end";
}

std::string ObjectNumber(Dialect d) {
  return fmt::format("o.{} as {}", sql::InsertionOrder(d), kObjectNumberColumn);
}

}  // namespace

ObjectColumns ObjectColumnsOf(std::string_view table) {
  if (table == "qzmap170") return {"cpac", "cmod", "cflno"};
  if (table == "qzmap175") return {"bpac", "bmod", "bflno"};
  return {"tcpac", "tcmod", "tflno"};
}

std::string SelectRuleObjects(Dialect d, std::string_view object_table, std::string_view appl,
                              std::span<const RuleLevel> levels) {
  std::string level;
  if (levels.size() > 1)
    level = fmt::format(", {} as {}",
                        ByLevelOfObject(levels, [](size_t i) { return sql::Number(static_cast<int64_t>(i + 1)); }),
                        kObjectLevelColumn);
  return fmt::format("select {}, o.cpac, o.cmod, o.flno{} from {} o where o.appl = {} order by o.{}", ObjectNumber(d),
                     level, object_table, sql::Quoted(appl), sql::InsertionOrder(d));
}

std::string CountRuleObjects(std::string_view object_table, std::string_view appl) {
  return fmt::format("select count(*) from {} where appl = {}", object_table, sql::Quoted(appl));
}

std::string SelectRuleObjectRows(Dialect d, std::string_view table, std::string_view object_table,
                                 std::string_view appl, std::span<const RuleLevel> levels,
                                 std::span<const std::string_view> columns) {
  const ObjectColumns c = ObjectColumnsOf(table);
  // Only the columns the pack takes: the joined rows are sorted whole, and
  // a narrower row sorts in less memory and crosses to the client sooner.
  std::string selected = columns.empty() ? "r.*" : "";
  for (std::string_view column : columns)
    fmt::format_to(std::back_inserter(selected), "{}r.{}", selected.empty() ? "" : ", ", column);
  // With one level there is nothing to choose: the rows of an object without
  // qzmap120 rows come too, and the caller, told by the objects read, passes
  // over them; the test would cost a look-up per object in every table.
  const std::string profile = levels.size() == 1
                                  ? sql::Number(levels.front().mprf)
                                  : ByLevelOfObject(levels, [&](size_t i) { return sql::Number(levels[i].mprf); });
  // The level's number picks the profile; its VRC keeps out the profile's
  // rows under other VRCs (its development VRCs).
  std::string vrc;
  for (const RuleLevel& l : levels) vrc += (vrc.empty() ? "(" : " or ") + ProfileOf("r", l);
  const std::string rows_of_object =
      fmt::format("r.mprf = {} and r.{} = o.cpac and r.{} = o.cmod and r.{} = o.flno and {})", profile, c.pac, c.mod,
                  c.flno, vrc);
  const std::string order(sql::InsertionOrder(d));
  const std::string objects(object_table), t(table), app = sql::Quoted(appl);
  const std::string joined =
      fmt::format("select {0}, {6} from {1} o join {2} r on {3} where o.appl = {4} order by o.{5}, r.{5}",
                  ObjectNumber(d), objects, t, rows_of_object, app, order, selected);
  // On PostgreSQL one level joins by hashing: the rules of the profile and
  // the objects are read once each, where looking every object up by the
  // index took twice as long.
  if (d == Dialect::Postgres && levels.size() == 1) return sql::JoinedByHashing(d, joined);
  if (d == Dialect::Postgres) {
    // The level of each object is found by looking its qzmap120 rows up:
    // that a hash join would do for every pair of an object and a row. The
    // lateral read (kept apart by "offset 0") looks each object's rows up by
    // the index, objects taken in their order, so that only each object's
    // own few rows need sorting.
    return fmt::format(
        "select {0}, {6} from (select * from {1} where appl = {2} order by {3} offset 0) o cross join lateral "
        "(select * from {4} r where {5} offset 0) r order by o.{3}, r.{3}",
        ObjectNumber(d), objects, app, order, t, rows_of_object, selected);
  }
  return joined;
}

std::string SelectRuleObjectsByKey(Dialect d, std::string_view object_table, std::string_view appl) {
  return fmt::format("select row_number() over (order by {0}) as {1}, cpac, cmod, flno from {2} where appl = {3} "
                     "order by {4}",
                     sql::InsertionOrder(d), kObjectPlaceColumn, object_table, sql::Quoted(appl),
                     sql::StoredOrderKeys(d, object_table, "cpac, cmod, flno"));
}

std::string SelectRuleRowsByObjectKey(Dialect d, std::string_view table, const RuleLevel& level,
                                      std::span<const std::string_view> columns) {
  const ObjectColumns c = ObjectColumnsOf(table);
  std::string selected = fmt::format("r.{} as {}, r.{} as {}, r.{} as {}", c.pac, kRowObjectColumns[0], c.mod,
                                     kRowObjectColumns[1], c.flno, kRowObjectColumns[2]);
  if (columns.empty()) selected += ", r.*";
  for (std::string_view column : columns) fmt::format_to(std::back_inserter(selected), ", r.{}", column);
  // The order of the index on the profile and the object, which the read
  // walks instead of sorting.
  return fmt::format("select {} from {} r where {} order by {}", selected, table, ProfileOf("r", level),
                     sql::StoredOrderKeys(d, table, fmt::format("mprf, {}, {}, {}", c.pac, c.mod, c.flno)));
}

}  // namespace kestrel::store
