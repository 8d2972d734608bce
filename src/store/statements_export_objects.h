// Statements of the single-profile export's mapping objects: the objects of
// the target application and, for each rule table, the rows of every object
// in one read, each object's rules taken from the nearest profile up the
// chain that has qzmap120 rows for it. Both reads come in the order the pack
// writes them, so that the exporter merges them object by object while
// reading each once, forward.
//
// Callers guarantee: `levels` is not empty, its first entry the exported
// profile and each next one the parent of the one before, no profile twice;
// `object_table` is qzlgy140 or qzddi140.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace kestrel::store {

// One profile of the chain an object's rules may come from.
struct RuleLevel {
  int64_t mprf = 0;
  std::string vers, rele, cust;
};

// The columns that name a mapping object in a rule table: tcpac, tcmod,
// tflno; cpac, cmod, cflno in qzmap170 and bpac, bmod, bflno in qzmap175.
struct ObjectColumns {
  std::string_view pac, mod, flno;
};
ObjectColumns ObjectColumnsOf(std::string_view table);

// The column both reads number the objects by, in the order the object table
// holds them; an object listed twice has two numbers.
inline constexpr std::string_view kObjectNumberColumn = "kestrel_object";
// The column of the objects read giving the object's level: the 1-based
// place in `levels` of the nearest profile with qzmap120 rows for it, NULL
// when none has any.
inline constexpr std::string_view kObjectLevelColumn = "levl";

// The objects of `appl` in the order the object table holds them (by
// kObjectNumberColumn): that number, cpac, cmod, flno and, when there is
// more than one level, the level. With the exported profile alone the
// object's level is whether the qzmap120 read below has rows for it: one
// look-up per object fewer.
std::string SelectRuleObjects(Dialect d, std::string_view object_table, std::string_view appl,
                              std::span<const RuleLevel> levels);
// How many objects SelectRuleObjects reads.
std::string CountRuleObjects(std::string_view object_table, std::string_view appl);

// The rows of `table` the pack carries for those objects: every row of an
// object at its level, the objects in the order above, an object's rows in
// the order they were added. kObjectNumberColumn first, then `columns` of the
// table (every column when empty). With a single level, the rows of objects
// without a level (no qzmap120 rows) come too, for the caller to pass over.
std::string SelectRuleObjectRows(Dialect d, std::string_view table, std::string_view object_table,
                                 std::string_view appl, std::span<const RuleLevel> levels,
                                 std::span<const std::string_view> columns = {});

// Statements of a merge by object key, made on the client: the objects in
// the order of their keys and each rule table of one profile walked in its
// index's order, so that neither read joins nor sorts rows on the store.
// Keys compare byte by byte in both (texts collate so on every store).
//
// The column giving an object's place in the order the object table holds
// them: 1 for the first row SelectRuleObjects reads, 2 for the next ...
inline constexpr std::string_view kObjectPlaceColumn = "kestrel_place";
// The objects of `appl`: their place, cpac, cmod and flno, in the order of
// cpac, cmod, flno (empty values first), objects of one key by place.
std::string SelectRuleObjectsByKey(Dialect d, std::string_view object_table, std::string_view appl);
// The names under which SelectRuleRowsByObjectKey gives a row's object.
inline constexpr std::string_view kRowObjectColumns[] = {"kestrel_pac", "kestrel_mod", "kestrel_flno"};
// The rows of `table` of profile `level` (its VRC alone), in the order of
// the object (empty values first), then the order they were added: the
// object's three columns under kRowObjectColumns, then `columns` (every
// column when empty).
std::string SelectRuleRowsByObjectKey(Dialect d, std::string_view table, const RuleLevel& level,
                                      std::span<const std::string_view> columns = {});

}  // namespace kestrel::store
