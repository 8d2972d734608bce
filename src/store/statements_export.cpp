// Statement texts of the export.
#include "store/statements_export.h"

#include <fmt/format.h>

#include "store/schema.h"
#include "store/sql.h"

namespace kestrel::store {

namespace {

std::string HeaderColumns(Dialect d) {
  return fmt::format("mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,{}", sql::CastToText(d, "ownr"));
}

std::string FullHeaderColumns(Dialect d) { return fmt::format("{},bsen,rhos,busr,pswd,apln", HeaderColumns(d)); }

// "( vers + rele + cust not in ( select dver + drel + dcus from qzmap105
// where mprf in (L)))": rows whose VRC is a development VRC of a listed profile.
std::string DevelopmentVrcExclusion(Dialect d, const std::string& list) {
  return fmt::format(
      "( vers {0} rele {0} cust not in ( select dver {0} drel {0} dcus from qzmap105 where mprf in ({1})))",
      sql::Concat(d), list);
}

// The order SQLite reads a table's rows of a profile list in: that of the
// index on the profile number.
std::string ByProfileIndex(Dialect d, std::string_view table) {
  const TableDef* t = FindTable(table);
  return sql::StoredOrder(d, table, t ? ProfileIndexColumns(*t) : std::string_view());
}

}  // namespace

std::string SelectProfileToExport(Dialect d, int64_t mprf) {
  return fmt::format("select {} from qzmap100 where mprf ='{}'", HeaderColumns(d), mprf);
}

std::string SelectChainProfileHeader(Dialect d, int64_t mprf) {
  return fmt::format("select {} from qzmap100 where mprf={}", FullHeaderColumns(d), mprf);
}

std::string SelectChainProfileHeaderByVrc(Dialect d, std::string_view vers, std::string_view rele,
                                          std::string_view cust) {
  return fmt::format("select {} from qzmap100 where vers='{}' and rele='{}' and cust='{}'", FullHeaderColumns(d),
                     sql::Text(vers), sql::Text(rele), sql::Text(cust));
}

std::string SelectSingleProfileHeader(Dialect d, int64_t mprf) {
  return fmt::format("select {} from qzmap100 where mprf = {}", FullHeaderColumns(d), mprf);
}

std::string SelectDevelopmentVrcRows(Dialect, int64_t mprf) {
  return fmt::format("select * from qzmap105 where mprf= {}", mprf);
}

std::string SelectCurrentRules(Dialect d, std::string_view table, std::span<const int64_t> profiles,
                               bool exclude_development_vrcs) {
  const std::string list = sql::NumberList(profiles);
  return fmt::format("select * from {} where mprf in ({}) {}{}", table, list,
                     exclude_development_vrcs ? " and " + DevelopmentVrcExclusion(d, list) : std::string(),
                     ByProfileIndex(d, table));
}

std::string SelectProfileRows(Dialect d, std::string_view table, std::span<const int64_t> profiles) {
  return fmt::format("select * from {} where mprf in ({}){}", table, sql::NumberList(profiles),
                     ByProfileIndex(d, table));
}

std::string SelectAllCodes(Dialect d) {
  return fmt::format("select * from qzlgy115{}", sql::StoredOrder(d, "qzlgy115", ""));
}

std::string SelectAllFunctions(Dialect d) {
  return fmt::format("select * from qzmap150{}", sql::StoredOrder(d, "qzmap150", ""));
}

std::string SelectLibraryRows(Dialect d, std::string_view table, std::span<const int64_t> profiles) {
  const std::string list = sql::NumberList(profiles);
  return fmt::format("select * from {} where mprf in ({}) and {}{}", table, list, DevelopmentVrcExclusion(d, list),
                     ByProfileIndex(d, table));
}

std::string SelectChainProfileNumbers(Dialect, int64_t mprf) {
  return fmt::format("select pprf from qzmap101 where mprf = {}", mprf);
}

std::string SelectLibraryFunctionNames(Dialect d, std::span<const int64_t> profiles) {
  const std::string list = sql::NumberList(profiles);
  // SQLite walks the index on (mprf, fnam) and drops names it has seen: each
  // name comes where it first occurs, by lowest profile number, then name.
  if (d == Dialect::Postgres)
    return fmt::format(
        "select fnam from qzlib100 where mprf in ({}) group by fnam order by min(mprf), fnam nulls first", list);
  return fmt::format("select distinct(fnam) from qzlib100 where mprf in ({})", list);
}

std::string SelectLibraryFunctionVersions(Dialect d, std::string_view fnam, std::span<const int64_t> profiles) {
  const std::string list = sql::NumberList(profiles);
  return fmt::format("select * from qzlib100 where fnam = '{}' and mprf in ({}) and {} order by mprf desc ",
                     sql::Text(fnam), list, DevelopmentVrcExclusion(d, list));
}

std::string SelectLibraryFunctionRevisions(Dialect d, std::string_view fnam, int64_t mprf) {
  return fmt::format("select * from qzlib105 where fnam = '{}' and mprf ={}{}", sql::Text(fnam), mprf,
                     ByProfileIndex(d, "qzlib105"));
}

std::string SelectApplicationExtn(Dialect, std::string_view appl) {
  return fmt::format("select extn from qzddi100 where appl='{}'", sql::Text(appl));
}

std::string SelectProfilesOfApplication(Dialect, std::string_view appl) {
  return fmt::format("select mprf from qzmap100 where sapp='{0}' or tapp='{0}' order by mprf", sql::Text(appl));
}

}  // namespace kestrel::store
