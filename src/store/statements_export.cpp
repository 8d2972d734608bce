// Statement texts of the export.
#include "store/statements_export.h"

#include "store/schema.h"
#include "store/sql.h"

namespace kestrel::store {

namespace {

std::string HeaderColumns(Dialect d) {
  return "mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph," + sql::CastToText(d, "ownr");
}

std::string FullHeaderColumns(Dialect d) { return HeaderColumns(d) + ",bsen,rhos,busr,pswd,apln"; }

// "( vers + rele + cust not in ( select dver + drel + dcus from qzmap105
// where mprf in (L)))": rows whose VRC is a development VRC of a listed profile.
std::string DevelopmentVrcExclusion(Dialect d, const std::string& list) {
  const std::string p(sql::Concat(d));
  return "( vers " + p + " rele " + p + " cust not in ( select dver " + p + " drel " + p +
         " dcus from qzmap105 where mprf in (" + list + ")))";
}

// The order SQLite reads a table's rows of a profile list in: that of the
// index on the profile number.
std::string ByProfileIndex(Dialect d, std::string_view table) {
  const TableDef* t = FindTable(table);
  return sql::StoredOrder(d, table, t ? ProfileIndexColumns(*t) : std::string_view());
}

}  // namespace

std::string SelectProfileToExport(Dialect d, int64_t mprf) {
  return "select " + HeaderColumns(d) + " from qzmap100 where mprf ='" + sql::Number(mprf) + "'";
}

std::string SelectChainProfileHeader(Dialect d, int64_t mprf) {
  return "select " + FullHeaderColumns(d) + " from qzmap100 where mprf=" + sql::Number(mprf);
}

std::string SelectChainProfileHeaderByVrc(Dialect d, std::string_view vers, std::string_view rele,
                                          std::string_view cust) {
  return "select " + FullHeaderColumns(d) + " from qzmap100 where vers='" + sql::Text(vers) + "' and rele='" +
         sql::Text(rele) + "' and cust='" + sql::Text(cust) + "'";
}

std::string SelectSingleProfileHeader(Dialect d, int64_t mprf) {
  return "select " + FullHeaderColumns(d) + " from qzmap100 where mprf = " + sql::Number(mprf);
}

std::string SelectDevelopmentVrcRows(Dialect, int64_t mprf) {
  return "select * from qzmap105 where mprf= " + sql::Number(mprf);
}

std::string SelectCurrentRules(Dialect d, std::string_view table, std::span<const int64_t> profiles,
                               bool exclude_development_vrcs) {
  const std::string list = sql::NumberList(profiles);
  std::string s = "select * from " + std::string(table) + " where mprf in (" + list + ") ";
  if (exclude_development_vrcs) s += " and " + DevelopmentVrcExclusion(d, list);
  return s + ByProfileIndex(d, table);
}

std::string SelectProfileRows(Dialect d, std::string_view table, std::span<const int64_t> profiles) {
  return "select * from " + std::string(table) + " where mprf in (" + sql::NumberList(profiles) + ")" +
         ByProfileIndex(d, table);
}

std::string SelectAllCodes(Dialect d) { return "select * from qzlgy115" + sql::StoredOrder(d, "qzlgy115", ""); }

std::string SelectAllFunctions(Dialect d) { return "select * from qzmap150" + sql::StoredOrder(d, "qzmap150", ""); }

std::string SelectLibraryRows(Dialect d, std::string_view table, std::span<const int64_t> profiles) {
  const std::string list = sql::NumberList(profiles);
  return "select * from " + std::string(table) + " where mprf in (" + list + ") and " +
         DevelopmentVrcExclusion(d, list) + ByProfileIndex(d, table);
}

std::string SelectChainProfileNumbers(Dialect, int64_t mprf) {
  return "select pprf from qzmap101 where mprf = " + sql::Number(mprf);
}

std::string SelectLibraryFunctionNames(Dialect d, std::span<const int64_t> profiles) {
  const std::string list = sql::NumberList(profiles);
  // SQLite walks the index on (mprf, fnam) and drops names it has seen: each
  // name comes where it first occurs, by lowest profile number, then name.
  if (d == Dialect::Postgres)
    return "select fnam from qzlib100 where mprf in (" + list +
           ") group by fnam order by min(mprf), fnam nulls first";
  return "select distinct(fnam) from qzlib100 where mprf in (" + list + ")";
}

std::string SelectLibraryFunctionVersions(Dialect d, std::string_view fnam, std::span<const int64_t> profiles) {
  const std::string list = sql::NumberList(profiles);
  return "select * from qzlib100 where fnam = '" + sql::Text(fnam) + "' and mprf in (" + list + ") and " +
         DevelopmentVrcExclusion(d, list) + " order by mprf desc ";
}

std::string SelectLibraryFunctionRevisions(Dialect d, std::string_view fnam, int64_t mprf) {
  return "select * from qzlib105 where fnam = '" + sql::Text(fnam) + "' and mprf =" + sql::Number(mprf) +
         ByProfileIndex(d, "qzlib105");
}

std::string SelectApplicationExtn(Dialect, std::string_view appl) {
  return "select extn from qzddi100 where appl='" + sql::Text(appl) + "'";
}

std::string SelectProfilesOfApplication(Dialect, std::string_view appl) {
  return "select mprf from qzmap100 where sapp='" + sql::Text(appl) + "' or tapp='" + sql::Text(appl) +
         "' order by mprf";
}

}  // namespace kestrel::store
