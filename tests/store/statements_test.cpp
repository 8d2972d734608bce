// The schema's tables and column types, and every statement builder: its
// T-SQL text, which must stay byte for byte as the component always wrote
// it, and its SQLite and PostgreSQL renderings run against the schema on a
// small store, where each must find or change the rows it should.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "base/error.h"
#include "store/backends.h"
#include "store/lock_wait.h"
#include "store/schema.h"
#include "store/sql.h"
#include "store/statements_bulk.h"
#include "store/statements_export.h"
#include "store/statements_export_objects.h"
#include "store/statements_import_check.h"
#include "store/statements_import_headers.h"
#include "store/statements_import_hierarchy.h"
#include "store/statements_import_loaders.h"
#include "store/statements_import_selection.h"
#include "store/statements_import_transaction.h"
#include "store/statements_profiles.h"
#include "support/store_builder.h"
#include "support/temp_folder.h"

namespace kestrel::store {
namespace {

using kestrel::testing::StoreBuilder;
using kestrel::testing::TempFolder;
using Table = std::vector<std::vector<std::string>>;

const std::string kHeader13 = "select mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,cast(ownr as varchar)";
const std::string kHeader18 = kHeader13 + ",bsen,rhos,busr,pswd,apln";
const std::string kExclusion = "( vers + rele + cust not in ( select dver + drel + dcus from qzmap105 where mprf in (40,31,12)))";
const std::string kOwner("\x01\x03\x03\x05\x05\x06\x08\x09\x09\x0b" "q\xe2\x17z", 14);
const std::vector<int64_t> kChain{40, 31, 12};
// Profile 31 and the one it is based on, as the mapping object export climbs.
const std::vector<RuleLevel> kLevels{{31, "X41U", "c", "ab1"}, {40, "X40", "c", "ab1"}};

// The T-SQL test of a level's qzmap120 rows for object o.
std::string HasRulesAt(int mprf, const std::string& vers) {
  return "exists (select 1 from qzmap120 x where x.mprf = " + std::to_string(mprf) + " and x.vers = '" + vers +
         "' and x.rele = 'c' and x.cust = 'ab1' and x.tcpac = o.cpac and x.tcmod = o.cmod and x.tflno = o.flno)";
}

ProfileHeaderValues Header() {
  return {.mprf = 12, .sapp = "LGA", .tapp = "EXB", .vers = "X42U", .rele = "c", .cust = "ab1", .verf = "X41U", .relf = "c",
          .cusf = "ab1", .dsca = "Customer update", .scme = "Y", .deph = 2, .owner = kOwner, .apln = "MIG"};
}

// Profile 31 (X41U) is based on 40 (X40) and has a development VRC whose rule
// row the current rules leave out.
const char* kRows =
    "insert into qzddi100 (appl, dsca, extn) values ('LGA', 'Ledger', 0), ('EXB', 'Extension', 1);"
    "insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust, verf, relf, cusf, deph, ownr) values "
    " (40, 'LGA', 'EXB', 'X40', 'c', 'ab1', '', '', '', 1, cast('x' as blob)),"
    " (31, 'LGA', 'EXB', 'X41U', 'c', 'ab1', 'X40', 'c', 'ab1', 2, cast('y' as blob));"
    "insert into qzmap101 values (40, 1, 'X40', 'c', 'ab1', 40), (31, 1, 'X41U', 'c', 'ab1', 31), (31, 2, 'X40', 'c', 'ab1', 40);"
    "insert into qzmap105 (mprf, vers, rele, cust, dver, drel, dcus) values (31, 'X41U', 'c', 'ab1', 'd41U', 'c', 'db1');"
    "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno) values "
    " (31, 'X41U', 'c', 'ab1', 'PK1', 'M''D', '007'), (31, 'X41U', 'c', 'ab1', 'PK1', 'M''D', '7'),"
    " (31, 'd41U', 'c', 'db1', 'PK1', 'M''D', '007');"
    "insert into qzlib100 (mprf, vers, rele, cust, fnam) values (40, 'X40', 'c', 'ab1', 'fnCalcTax'), (31, 'X41U', 'c', 'ab1', 'fnCalcTax');"
    "insert into qzlib105 (mprf, vers, rele, cust, fnam, revi) values (31, 'X41U', 'c', 'ab1', 'fnCalcTax', 3);"
    "insert into qzmap150 (func) values ('TRIM');"
    "insert into qzddi140 (appl, cpac, cmod, flno) values ('EXB', 'PK1', 'M''D', '007'), ('EXB', 'PK1', 'M''D', '9');"
    "insert into qzusr100 (usrn) values (cast('jmartin' as blob));";

// The user assignment, its number in a binary column as each store writes one.
std::string UserAssignmentRow(Dialect d) {
  return "insert into qzusr110 values (" + sql::CastToBinary(d, "'jmartin'") + ", " + sql::CastToBinary(d, "31") + ");";
}

// A builder rendering plain text or one whose values travel apart from it;
// `rows`: what its SQLite rendering finds or changes on kRows.
struct Case {
  template <class Build>
  Case(std::string n, Build b, std::string t, int64_t r)
      : name(std::move(n)), build([b](Dialect d) -> Query {
          if constexpr (std::is_same_v<decltype(b(d)), Query>) return b(d); else return {b(d), {}};
        }), tsql(std::move(t)), rows(r) {}
  std::string name;
  std::function<Query(Dialect)> build;
  std::string tsql;
  int64_t rows;
};

std::vector<Case> AllCases() {
  std::vector<Case> c = {
      {"SelectProfile", [](Dialect d) { return SelectProfile(d, 40); }, "select * from qzmap100 where mprf = 40", 1},
      {"SelectProfileByVrc", [](Dialect d) { return SelectProfileByVrc(d, "X40", "c", "ab1"); }, "select * from qzmap100 where vers='X40' and rele='c' and cust='ab1'", 1},
      {"SelectApplicationRows", [](Dialect d) { return SelectApplicationRows(d, "qzddi100", "EXB"); }, "select * from qzddi100 where appl='EXB'", 1},
      {"SelectParentLevelRow", [](Dialect d) { return SelectParentLevelRow(d, 31); }, "select * from qzmap101 where levl=2 and mprf = 31", 1},
      {"SelectProfileToExport", [](Dialect d) { return SelectProfileToExport(d, 31); }, kHeader13 + " from qzmap100 where mprf ='31'", 1},
      {"SelectChainProfileHeader", [](Dialect d) { return SelectChainProfileHeader(d, 40); }, kHeader18 + " from qzmap100 where mprf=40", 1},
      {"SelectChainProfileHeaderByVrc", [](Dialect d) { return SelectChainProfileHeaderByVrc(d, "X40", "c", "ab1"); }, kHeader18 + " from qzmap100 where vers='X40' and rele='c' and cust='ab1'", 1},
      {"SelectSingleProfileHeader", [](Dialect d) { return SelectSingleProfileHeader(d, 31); }, kHeader18 + " from qzmap100 where mprf = 31", 1},
      {"SelectDevelopmentVrcRows", [](Dialect d) { return SelectDevelopmentVrcRows(d, 31); }, "select * from qzmap105 where mprf= 31", 1},
      {"SelectCurrentRules/excluding", [](Dialect d) { return SelectCurrentRules(d, "qzmap120", kChain, true); }, "select * from qzmap120 where mprf in (40,31,12)  and " + kExclusion, 2},
      {"SelectCurrentRules/sync", [](Dialect d) { return SelectCurrentRules(d, "qzmap120", kChain, false); }, "select * from qzmap120 where mprf in (40,31,12) ", 3},
      {"SelectProfileRows", [](Dialect d) { return SelectProfileRows(d, "qzmap101", kChain); }, "select * from qzmap101 where mprf in (40,31,12)", 3},
      {"SelectAllCodes", [](Dialect d) { return SelectAllCodes(d); }, "select * from qzlgy115", 0},
      {"SelectAllFunctions", [](Dialect d) { return SelectAllFunctions(d); }, "select * from qzmap150", 1},
      {"SelectLibraryRows", [](Dialect d) { return SelectLibraryRows(d, "qzlib100", kChain); }, "select * from qzlib100 where mprf in (40,31,12) and " + kExclusion, 2},
      {"SelectChainProfileNumbers", [](Dialect d) { return SelectChainProfileNumbers(d, 31); }, "select pprf from qzmap101 where mprf = 31", 2},
      {"SelectLibraryFunctionNames", [](Dialect d) { return SelectLibraryFunctionNames(d, kChain); }, "select distinct(fnam) from qzlib100 where mprf in (40,31,12)", 1},
      {"SelectLibraryFunctionVersions", [](Dialect d) { return SelectLibraryFunctionVersions(d, "fnCalcTax", kChain); }, "select * from qzlib100 where fnam = 'fnCalcTax' and mprf in (40,31,12) and " + kExclusion + " order by mprf desc ", 2},
      {"SelectLibraryFunctionRevisions", [](Dialect d) { return SelectLibraryFunctionRevisions(d, "fnCalcTax", 31); }, "select * from qzlib105 where fnam = 'fnCalcTax' and mprf =31", 1},
      {"SelectApplicationExtn", [](Dialect d) { return SelectApplicationExtn(d, "EXB"); }, "select extn from qzddi100 where appl='EXB'", 1},
      {"SelectRuleObjects", [](Dialect d) { return SelectRuleObjects(d, "qzddi140", "EXB", kLevels); }, "select o.rowid as kestrel_object, o.cpac, o.cmod, o.flno, case when " + HasRulesAt(31, "X41U") + " then 1 when " + HasRulesAt(40, "X40") + " then 2 end as levl from qzddi140 o where o.appl = 'EXB' order by o.rowid", 2},
      {"SelectRuleObjects/one level", [](Dialect d) { return SelectRuleObjects(d, "qzddi140", "EXB", std::span(kLevels).first(1)); }, "select o.rowid as kestrel_object, o.cpac, o.cmod, o.flno from qzddi140 o where o.appl = 'EXB' order by o.rowid", 2},
      {"SelectRuleObjectRows/120", [](Dialect d) { return SelectRuleObjectRows(d, "qzmap120", "qzddi140", "EXB", kLevels); }, "select o.rowid as kestrel_object, r.* from qzddi140 o join qzmap120 r on r.mprf = case when " + HasRulesAt(31, "X41U") + " then 31 when " + HasRulesAt(40, "X40") + " then 40 end and r.tcpac = o.cpac and r.tcmod = o.cmod and r.tflno = o.flno and (r.mprf = 31 and r.vers = 'X41U' and r.rele = 'c' and r.cust = 'ab1' or r.mprf = 40 and r.vers = 'X40' and r.rele = 'c' and r.cust = 'ab1') where o.appl = 'EXB' order by o.rowid, r.rowid", 1},
      {"SelectRuleObjectRows/170", [](Dialect d) { return SelectRuleObjectRows(d, "qzmap170", "qzddi140", "EXB", kLevels); }, "select o.rowid as kestrel_object, r.* from qzddi140 o join qzmap170 r on r.mprf = case when " + HasRulesAt(31, "X41U") + " then 31 when " + HasRulesAt(40, "X40") + " then 40 end and r.cpac = o.cpac and r.cmod = o.cmod and r.cflno = o.flno and (r.mprf = 31 and r.vers = 'X41U' and r.rele = 'c' and r.cust = 'ab1' or r.mprf = 40 and r.vers = 'X40' and r.rele = 'c' and r.cust = 'ab1') where o.appl = 'EXB' order by o.rowid, r.rowid", 0},
      {"SelectRuleObjectRows/175", [](Dialect d) { return SelectRuleObjectRows(d, "qzmap175", "qzddi140", "EXB", kLevels); }, "select o.rowid as kestrel_object, r.* from qzddi140 o join qzmap175 r on r.mprf = case when " + HasRulesAt(31, "X41U") + " then 31 when " + HasRulesAt(40, "X40") + " then 40 end and r.bpac = o.cpac and r.bmod = o.cmod and r.bflno = o.flno and (r.mprf = 31 and r.vers = 'X41U' and r.rele = 'c' and r.cust = 'ab1' or r.mprf = 40 and r.vers = 'X40' and r.rele = 'c' and r.cust = 'ab1') where o.appl = 'EXB' order by o.rowid, r.rowid", 0},
      {"SelectRuleObjectRows/one level", [](Dialect d) { return SelectRuleObjectRows(d, "qzmap120", "qzddi140", "EXB", std::span(kLevels).first(1)); }, "select o.rowid as kestrel_object, r.* from qzddi140 o join qzmap120 r on r.mprf = 31 and r.tcpac = o.cpac and r.tcmod = o.cmod and r.tflno = o.flno and (r.mprf = 31 and r.vers = 'X41U' and r.rele = 'c' and r.cust = 'ab1') where o.appl = 'EXB' order by o.rowid, r.rowid", 1},
      {"SelectRuleRowsByObjectKey", [](Dialect d) { return SelectRuleRowsByObjectKey(d, "qzmap120", kLevels[0]); }, "select r.tcpac as kestrel_pac, r.tcmod as kestrel_mod, r.tflno as kestrel_flno, r.* from qzmap120 r where r.mprf = 31 and r.vers = 'X41U' and r.rele = 'c' and r.cust = 'ab1' order by mprf, tcpac, tcmod, tflno, rowid", 2},
      {"SelectRuleRowsByObjectKey/columns", [](Dialect d) { static constexpr std::string_view kRead[] = {"mprf", "logn"}; return SelectRuleRowsByObjectKey(d, "qzmap120", kLevels[0], kRead); }, "select r.tcpac as kestrel_pac, r.tcmod as kestrel_mod, r.tflno as kestrel_flno, r.mprf, r.logn from qzmap120 r where r.mprf = 31 and r.vers = 'X41U' and r.rele = 'c' and r.cust = 'ab1' order by mprf, tcpac, tcmod, tflno, rowid", 2},
      {"SelectApplicationCode", [](Dialect d) { return SelectApplicationCode(d, "EXB"); }, "select appl from qzddi100 where appl = 'EXB'", 1},
      {"SelectProfilesWithApplications", [](Dialect d) { return SelectProfilesWithApplications(d, "LGA", "EXB"); }, "select * from qzmap100 where sapp = 'LGA' and tapp='EXB'", 2},
      {"SelectProfileVrc", [](Dialect d) { return SelectProfileVrc(d, 31); }, "Select vers,rele,cust from qzmap100 where mprf = 31", 1},
      {"SelectDerivedProfiles", [](Dialect d) { return SelectDerivedProfiles(d, 40); }, "select mprf from qzmap101 where pprf = 40", 2},
      {"SelectChainRow", [](Dialect d) { return SelectChainRow(d, 31, 2); }, "select * from qzmap101 where mprf = 31and levl = 2", 1},
      {"SelectParentProfileByVrc", [](Dialect d) { return SelectParentProfileByVrc(d, "X40", "c", "ab1"); }, "select * from qzmap100 where vers='X40' and rele='c' and cust ='ab1'", 1},
      {"SelectAncestorLevel", [](Dialect d) { return SelectAncestorLevel(d, 40, 31); }, "select levl from qzmap101 where levl > 1 and pprf =40 and mprf =31", 1},
      {"DeleteChainRowsAbove", [](Dialect d) { return DeleteChainRowsAbove(d, 31, 1); }, "delete from qzmap101 where mprf = 31 and levl > 1", 1},
      {"InsertChainRow", [](Dialect d) { return InsertChainRow(d, 31, 3, "X'40", "c", "007", 5); }, "insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values ( 31,3,'X''40','c','007',5)", 1},
      {"UpdateProfileDepth", [](Dialect d) { return UpdateProfileDepth(d, 31, 3); }, "update qzmap100 set deph =3 where mprf= 31", 1},
      {"SelectParentChainRow", [](Dialect d) { return SelectParentChainRow(d, 31); }, "select * from qzmap101 where mprf=31 and levl=2", 1},
      {"DeleteApplicationRows", [](Dialect d) { return DeleteApplicationRows(d, "qzddi100", "EXB"); }, "delete from qzddi100 where appl='EXB'", 1},
      {"SelectProfileByJoinedVrc", [](Dialect d) { return SelectProfileByJoinedVrc(d, "X41U", "c", "ab1"); }, "select * from qzmap100 where vers+rele+cust = 'X41Ucab1'", 1},
      {"SelectProfilesOfApplicationPair", [](Dialect d) { return SelectProfilesOfApplicationPair(d, "LGA", "EXB"); }, "select * from qzmap100 where sapp='LGA' and tapp='EXB'", 2},
      {"InsertProfileHeader", [](Dialect d) { return InsertProfileHeader(d, Header()); }, "insert into qzmap100 (mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,ownr,apln) values (12,'LGA','EXB','X42U','c','ab1','X41U','c','ab1','Customer update','Y',2,cast('" + kOwner + "' as varbinary),'MIG')", 1},
      {"InsertDevelopmentVrc", [](Dialect d) { return InsertDevelopmentVrc(d, 12, "X40", "c", "ab1", "d40", "c", "db1"); }, "insert into qzmap105 (mprf,vers,rele,cust,dver,drel,dcus) values (12,'X40','c','ab1','d40','c','db1')", 1},
      {"SelectStoredUser", [](Dialect d) { return SelectStoredUser(d, "jmartin"); }, "select distinct cast(usrn as varchar) from qzusr100 where cast(usrn as varchar)='jmartin'", 1},
      {"SelectUserAssignment", [](Dialect d) { return SelectUserAssignment(d, "jmartin", 31); }, "select cast(usrn as varchar),cast(mprf as int) from qzusr110 where cast(usrn as varchar)='jmartin' and cast(mprf as int) =31", 1},
      {"InsertUserAssignment", [](Dialect d) { return InsertUserAssignment(d, "jmartin", 12); }, "insert into qzusr110 (usrn,mprf) values(cast('jmartin' as varbinary),cast(12 as varbinary))", 1},
      {"SelectLibraryFunction", [](Dialect d) { return SelectLibraryFunction(d, 31, "X41U", "c", "ab1", "fnCalcTax"); }, "select * from qzlib100 where mprf = 31 and vers='X41U' and rele='c' and cust='ab1' and fnam='fnCalcTax'", 1},
      {"SelectLibraryRevision", [](Dialect d) { return SelectLibraryRevision(d, 31, "X41U", "c", "ab1", "fnCalcTax", 3); }, "select * from qzlib105 where mprf = 31 and vers='X41U' and rele='c' and cust='ab1' and fnam='fnCalcTax' and revi=3", 1},
      {"SelectSharedFunction", [](Dialect d) { return SelectSharedFunction(d, "TRIM"); }, "select * from qzmap150 where func='TRIM'", 1},
      {"InsertBulkRow", [](Dialect d) { return InsertBulkRow(d, "qzddi160", 4); }, "insert into qzddi160 values (?,?,?,?)", 1},
      {"InsertBulkRow/three rows", [](Dialect d) { return InsertBulkRow(d, "qzddi160", 4, 3); }, "insert into qzddi160 values (?,?,?,?),(?,?,?,?),(?,?,?,?)", 3},
      {"SelectRowWithKey", [](Dialect d) { return SelectRowWithKey(d, "qzddi100", {"appl", "extn"}, {"EXB", "1"}, {}); }, "select top 1 1 from qzddi100 where appl = 'EXB' and extn = '1'", 1},
      {"SelectRowWithKey/left out", [](Dialect d) { return SelectRowWithKey(d, "qzddi100", {"appl"}, {"EXB"}, {"LGA", "EXB"}); }, "select top 1 1 from qzddi100 where appl = 'EXB' and appl not in ('LGA', 'EXB')", 0},
  };
  // Profile 31's rows: three in qzmap120, two in qzmap101, one in each of six more tables.
  for (std::string_view table : ProfileTables()) {
    const std::string t(table);
    const int64_t rows = t == "qzmap120" ? 3 : t == "qzmap101" ? 2 : (t == "qzmap100" || t == "qzmap105" || t.starts_with("qzlib") || t == "qzusr110");
    c.push_back({"DeleteProfileRows/" + t, [table](Dialect d) { return DeleteProfileRows(d, table, 31); }, "delete from " + t + " where mprf=31", rows});
  }
  return c;
}

TEST(StatementsTest, TSqlTextsAreTheComponentsOwn) {
  for (const auto& c : AllCases()) {
    Query q = c.build(Dialect::TSql);
    EXPECT_EQ(q.text, c.tsql) << c.name;
    EXPECT_TRUE(q.values.empty()) << c.name << ": T-SQL carries its values in the text";
  }
  EXPECT_EQ(sql::NumberList(std::vector<int64_t>{}), "");
  EXPECT_EQ(SelectSharedFunction(Dialect::TSql, "fn'x"), "select * from qzmap150 where func='fn''x'");
}

// Runs every builder's `d` rendering on the rows of `s`; its batch is left
// uncommitted, so that every case sees the same rows.
void RunEveryCase(StoreBuilder& s, Dialect d) {
  for (const auto& c : AllCases()) {
    SCOPED_TRACE(c.name);
    const Query q = c.build(d);
    try {
      Batch b(*s);
      int64_t rows = 0;
      std::string_view text = q.text;
      if (text.starts_with(sql::kJoinedByHashingMark)) text.remove_prefix(sql::kJoinedByHashingMark.size());
      if (text.rfind("select", 0) == 0 || text.rfind("Select", 0) == 0) {
        for (auto rs = s->OpenRecordset(q); !rs->IsEOF(); rs->MoveNext()) ++rows;
      } else if (q.text.find("$1") == std::string::npos) {
        EXPECT_TRUE(q.values.empty());
        rows = s->Execute(q.text);
      } else {
        rows = s->Prepare(q.text)->Run();  // its places unbound: a row of NULLs
      }
      EXPECT_EQ(rows, c.rows) << q.text;
    } catch (const ComError& e) {
      ADD_FAILURE() << e.number() << " " << e.description() << "\n  " << q.text;
    }
  }
}

TEST(StatementsTest, SqliteRenderingsFindAndChangeWhatTheyShould) {
  TempFolder dir;
  StoreBuilder s = StoreBuilder::Empty(dir / "s.db");
  s->ExecuteScript(kRows + UserAssignmentRow(Dialect::Sqlite));
  RunEveryCase(s, Dialect::Sqlite);
  // The highest profile number comes first among a function's versions.
  EXPECT_EQ(s->OpenRecordset(SelectLibraryFunctionVersions(Dialect::Sqlite, "fnCalcTax", kChain))->Fields("mprf"), Value(int64_t{40}));
}

// The same rows on PostgreSQL (the suites' "blob" is bytea there): each
// rendering finds or changes what the SQLite one does.
TEST(StatementsTest, PostgresRenderingsFindAndChangeWhatTheyShould) {
  const auto postgres = kestrel::testing::AllStoreBackends().back();
  if (const std::string why = postgres.unavailable(); !why.empty()) GTEST_SKIP() << why;
  TempFolder dir;
  StoreBuilder s = StoreBuilder::Empty(postgres.location(dir.path()));
  s->ExecuteScript(kRows + UserAssignmentRow(Dialect::Postgres));
  RunEveryCase(s, Dialect::Postgres);
  // The owner's bytes and the user's number come back through the casts the statements use.
  Batch b(*s);
  s->Execute(InsertProfileHeader(Dialect::Postgres, Header()));
  s->Execute(InsertUserAssignment(Dialect::Postgres, "jmartin", 12));
  EXPECT_EQ(s.Rows("select " + sql::CastToText(Dialect::Postgres, "ownr") + " from qzmap100 where mprf = 12"),
            (Table{{kOwner}}));
  EXPECT_EQ(s.Rows("select " + sql::CastToInt(Dialect::Postgres, "mprf") + " from qzusr110 order by 1"),
            (Table{{"12"}, {"31"}}));
  EXPECT_EQ(s->OpenRecordset(SelectLibraryFunctionVersions(Dialect::Postgres, "fnCalcTax", kChain))->Fields("mprf"),
            Value(int64_t{40}));
  // The check before an import reads the unique keys column by column (an
  // expression as NULL) and the declared types.
  s->Execute("create unique index qzddi160_domain on qzddi160 (appl, lower(dval))");
  for (const auto& [table, keys] : std::vector<std::pair<std::string, std::string>>{
           {"qzmap100", "mprf;vers,rele,cust;"}, {"qzddi100", "appl;"}, {"qzddi160", "appl,?;"}, {"qzmap120", ""}}) {
    std::string found, key;
    for (auto rs = s->OpenRecordset(SelectUniqueKeyColumns(Dialect::Postgres, table)); !rs->IsEOF(); rs->MoveNext()) {
      found += found.empty() ? "" : rs->Fields("keyn").Text() != key ? ";" : ",";
      key = rs->Fields("keyn").Text();
      found += rs->Fields("coln").IsNull() ? "?" : rs->Fields("coln").Text();
    }
    EXPECT_EQ(found.empty() ? found : found + ";", keys) << table;
  }
  EXPECT_EQ(s.Rows(SelectColumnTypes(Dialect::Postgres, "qzddi100")),
            (Table{{"appl", "text"}, {"aver", "text"}, {"crdt", "text"}, {"dsca", "text"}, {"extn", "integer"}}));
  // Declared widths come with the type; a dropped column is gone.
  s->Execute("create table qzwidth (code varchar(12), flag char(3), gone text, note text)");
  s->Execute("alter table qzwidth drop column gone");
  EXPECT_EQ(s.Rows(SelectColumnTypes(Dialect::Postgres, "qzwidth")),
            (Table{{"code", "character varying(12)"}, {"flag", "character(3)"}, {"note", "text"}}));
}

// Rows stored out of index order: texts that sort apart byte for byte and
// by a language's collation, a high byte, a NULL, ties kept in stored order.
const char* kUnorderedRows =
    "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx) values "
    " (40, 'X40', 'c', 'ab1', 'PK1', 'MD', 'b', 'first b'), (31, 'X41U', 'c', 'ab1', 'PK1', 'MD', '010', ''),"
    " (40, 'X40', 'c', 'ab1', 'PK1', 'MD', '\xe9', ''), (40, 'X40', 'c', 'ab1', 'PK1', 'MD', 'B', ''),"
    " (40, 'X40', 'c', 'ab1', 'PK1', 'MD', NULL, ''), (40, 'X40', 'c', 'ab1', 'PK1', 'MD', 'b', 'second b');"
    "insert into qzmap101 values (31, 2, 'X40', 'c', 'ab1', 40), (40, 1, 'X40', 'c', 'ab1', 40),"
    " (31, 1, 'X41U', 'c', 'ab1', 31);"
    "insert into qzlib100 (mprf, vers, rele, cust, fnam) values (40, 'X40', 'c', 'ab1', 'fnAlpha'),"
    " (31, 'X41U', 'c', 'ab1', 'fnCalcTax'), (40, 'X40', 'c', 'ab1', 'fnCalcTax'),"
    " (12, 'X42U', 'c', 'ab1', 'fnZeta');"
    "insert into qzlgy115 (code, dsca) values ('CUR', 'Currency'), ('CTY', 'Country'), ('ACT', 'Account');"
    "insert into qzddi140 (appl, cpac, cmod, flno) values ('EXB', 'PK2', 'M', '2'),"
    " ('EXB', 'PK1', 'M', '1'), ('EXB', 'PK1', 'MD', 'b'), ('EXB', 'PK1', 'MD', '010'), ('EXB', 'PK1', 'MD', 'b');";

// The rows of a read, values joined by "|", in the order the store returns them.
std::vector<std::string> InOrder(StoreBuilder& s, const std::string& q) {
  std::vector<std::string> rows;
  for (auto rs = s->OpenRecordset(q); !rs->IsEOF(); rs->MoveNext()) {
    std::string row;
    for (int k = 0; k < rs->FieldCount(); ++k)
      row += (k ? "|" : "") + (rs->Fields(k).IsNull() ? "NULL" : rs->Fields(k).Text());
    rows.push_back(row);
  }
  return rows;
}

// The reads whose rows reach a pack file: PostgreSQL returns them in the
// order SQLite's search meets them, so that both stores write the same pack.
TEST(StatementsTest, PackReadsComeInTheSameOrderFromEitherStore) {
  const auto postgres = kestrel::testing::AllStoreBackends().back();
  if (const std::string why = postgres.unavailable(); !why.empty()) GTEST_SKIP() << why;
  TempFolder dir;
  StoreBuilder lite = StoreBuilder::Empty(dir / "s.db");
  StoreBuilder server = StoreBuilder::Empty(postgres.location(dir.path()));
  lite->ExecuteScript(kUnorderedRows);
  server->ExecuteScript(kUnorderedRows);
  const std::vector<std::pair<std::string, std::function<std::string(Dialect)>>> reads = {
      {"current rules", [](Dialect d) { return SelectCurrentRules(d, "qzmap120", kChain, false); }},
      {"chain rows", [](Dialect d) { return SelectProfileRows(d, "qzmap101", kChain); }},
      {"library rows", [](Dialect d) { return SelectLibraryRows(d, "qzlib100", kChain); }},
      {"function names", [](Dialect d) { return SelectLibraryFunctionNames(d, kChain); }},
      {"codes", [](Dialect d) { return SelectAllCodes(d); }},
      {"mapping objects", [](Dialect d) { return SelectApplicationRows(d, "qzddi140", "EXB"); }},
      {"mapping objects with their levels", [](Dialect d) { return SelectRuleObjects(d, "qzddi140", "EXB", kLevels); }},
      {"mapping objects of one level",
       [](Dialect d) { return SelectRuleObjects(d, "qzddi140", "EXB", std::span(kLevels).first(1)); }},
      {"the objects' rules", [](Dialect d) { return SelectRuleObjectRows(d, "qzmap120", "qzddi140", "EXB", kLevels); }},
  };
  for (const auto& [name, build] : reads) {
    const std::vector<std::string> expected = InOrder(lite, build(Dialect::Sqlite));
    EXPECT_GT(expected.size(), 1u) << name;
    EXPECT_EQ(InOrder(server, build(Dialect::Postgres)), expected) << name;
  }
  // Object by object as the object table lists them (PK1 MD b twice), each
  // object's rules from its nearest level in the order they were added.
  std::vector<std::string> texts;
  for (auto rs = lite->OpenRecordset(SelectRuleObjectRows(Dialect::Sqlite, "qzmap120", "qzddi140", "EXB", kLevels));
       !rs->IsEOF(); rs->MoveNext())
    texts.push_back(rs->Fields("tflno").Text() + ":" + rs->Fields("prtx").Text());
  EXPECT_EQ(texts, (std::vector<std::string>{"b:first b", "b:second b", "010:", "b:first b", "b:second b"}));
}

// What a statement that waited in vain for a lock names: the store's tables
// it reads or writes, never a value that looks like one, nor the catalogue.
TEST(StatementsTest, ALockNotHadNamesTheTablesOfItsStatement) {
  using Tables = std::vector<std::string>;
  const struct { std::string statement; Tables tables; } rows[] = {
      {"select * from qzmap100 where mprf = 30", {"qzmap100"}},
      {"SELECT r.* FROM kt_x.\"qzmap120\" r JOIN qzmap105 o on o.mobj = r.mobj join qzmap120 x", {"qzmap120", "qzmap105"}},
      {"insert into qzlib100 (comt) values ('taken from qzmap100')", {"qzlib100"}},
      {"update qzddi100 set dsca = 'x'", {"qzddi100"}},
      {"select count(*) from (select mprf from qzmap100) t", {"qzmap100"}},
      {"pragma schema_version", {}},
      {"select count(*) from sqlite_master", {}},
      {"select table_name from information_schema.tables", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(store::TablesNamed(row.statement), row.tables) << row.statement;
  const ComError e = store::LockNotHad("postgresql://kestrel:s3cret@db/profiles", "delete from qzmap100",
                                       std::chrono::milliseconds(2500));
  EXPECT_EQ(e.number(), 9031);
  EXPECT_EQ(e.description(),
            "The store is locked by another program: table qzmap100 of postgresql://kestrel:***@db/profiles (waited 2.5 s)");
}

// The column types the component relies on; profile and application tables as the
// movers expect them.
TEST(SchemaTest, TablesColumnsAndTypes) {
  const auto has = [](std::string_view table, std::string_view column) {
    return std::ranges::count(FindTable(table)->ColumnNames(), column) == 1;
  };
  for (std::string_view name : ProfileTables()) EXPECT_TRUE(has(name, "mprf")) << name;
  EXPECT_FALSE(has("qzmap120", "pexp"));
  EXPECT_EQ(FindTable("qzmap999"), nullptr);
  const std::set<std::string_view> integers{"mprf", "levl", "deph", "extn", "dnum", "type", "revi", "pexp", "pprf"};
  for (const auto& t : Tables())
    for (const auto& c : t.columns) {
      const bool binary = (t.name == "qzmap100" && c.name == "ownr") || (t.name.substr(0, 5) == "qzusr" && c.name != "dsca");
      EXPECT_EQ(c.type, binary ? ColumnType::Binary : integers.count(c.name) ? ColumnType::Integer : ColumnType::Text)
          << t.name << "." << c.name;
    }
  // Application tables move by position: the code first, never last.
  for (std::string_view name : ApplicationTables()) {
    EXPECT_EQ(FindTable(name)->columns.front().name, "appl") << name;
    EXPECT_NE(FindTable(name)->columns.back().name, "appl") << name;
  }
}

}  // namespace
}  // namespace kestrel::store
