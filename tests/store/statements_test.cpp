// Every statement builder: its T-SQL text, which must stay byte for byte as
// the component always wrote it, and its SQLite rendering run against the
// schema on rows where each finds, changes or leaves what it should.
#include <gtest/gtest.h>

#include <functional>

#include "base/error.h"
#include "store/schema.h"
#include "store/sql.h"
#include "store/statements_bulk.h"
#include "store/statements_export.h"
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
const std::string kExclusion =
    "( vers + rele + cust not in ( select dver + drel + dcus from qzmap105 where mprf in (40,31,12)))";
const std::string kOwner("\x01\x03\x03\x05\x05\x06\x08\x09\x09\x0b" "q\xe2\x17z", 14);
const std::vector<int64_t> kChain{40, 31, 12};
const std::vector<int64_t> kOne{12};

ProfileHeaderValues Header() {
  ProfileHeaderValues v;
  v.mprf = 12;
  v.sapp = "LGA";
  v.tapp = "EXB";
  v.vers = "X42U";
  v.rele = v.relf = "c";
  v.cust = v.cusf = "ab1";
  v.verf = "X41U";
  v.dsca = "Customer update";
  v.scme = "Y";
  v.deph = 2;
  v.owner = kOwner;
  v.apln = "MIG";
  return v;
}

// A builder rendering plain text, or one whose values may travel apart from
// its text (in T-SQL they are always in the text).
struct Case {
  Case(std::string n, std::function<std::string(Dialect)> b, std::string t)
      : name(std::move(n)), build([b](Dialect d) { return Query{b(d), {}}; }), tsql(std::move(t)) {}
  Case(std::string n, std::function<Query(Dialect)> b, std::string t)
      : name(std::move(n)), build(std::move(b)), tsql(std::move(t)) {}
  std::string name;
  std::function<Query(Dialect)> build;
  std::string tsql;
};

std::vector<Case> AllCases() {
  std::vector<Case> c = {
      {"SelectProfile", [](Dialect d) { return SelectProfile(d, 12); }, "select * from qzmap100 where mprf = 12"},
      {"SelectProfileByVrc", [](Dialect d) { return SelectProfileByVrc(d, "X40", "c", "ab1"); }, "select * from qzmap100 where vers='X40' and rele='c' and cust='ab1'"},
      {"SelectApplicationRows", [](Dialect d) { return SelectApplicationRows(d, "qzddi140", "EXB"); }, "select * from qzddi140 where appl='EXB'"},
      {"SelectParentLevelRow", [](Dialect d) { return SelectParentLevelRow(d, 31); }, "select * from qzmap101 where levl=2 and mprf = 31"},
      {"SelectProfileToExport", [](Dialect d) { return SelectProfileToExport(d, 12); }, kHeader13 + " from qzmap100 where mprf ='12'"},
      {"SelectChainProfileHeader", [](Dialect d) { return SelectChainProfileHeader(d, 40); }, kHeader18 + " from qzmap100 where mprf=40"},
      {"SelectChainProfileHeaderByVrc", [](Dialect d) { return SelectChainProfileHeaderByVrc(d, "X40", "c", "ab1"); }, kHeader18 + " from qzmap100 where vers='X40' and rele='c' and cust='ab1'"},
      {"SelectSingleProfileHeader", [](Dialect d) { return SelectSingleProfileHeader(d, 12); }, kHeader18 + " from qzmap100 where mprf = 12"},
      {"SelectDevelopmentVrcRows", [](Dialect d) { return SelectDevelopmentVrcRows(d, 12); }, "select * from qzmap105 where mprf= 12"},
      {"SelectCurrentRules/excluding", [](Dialect d) { return SelectCurrentRules(d, "qzmap120", kChain, true); }, "select * from qzmap120 where mprf in (40,31,12)  and " + kExclusion},
      {"SelectCurrentRules/sync", [](Dialect d) { return SelectCurrentRules(d, "qzmap170", kChain, false); }, "select * from qzmap170 where mprf in (40,31,12) "},
      {"SelectCurrentRules/one", [](Dialect d) { return SelectCurrentRules(d, "qzmap130", kOne, false); }, "select * from qzmap130 where mprf in (12) "},
      {"SelectProfileRows/101", [](Dialect d) { return SelectProfileRows(d, "qzmap101", kChain); }, "select * from qzmap101 where mprf in (40,31,12)"},
      {"SelectProfileRows/175", [](Dialect d) { return SelectProfileRows(d, "qzmap175", kOne); }, "select * from qzmap175 where mprf in (12)"},
      {"SelectAllCodes", [](Dialect d) { return SelectAllCodes(d); }, "select * from qzlgy115"},
      {"SelectAllFunctions", [](Dialect d) { return SelectAllFunctions(d); }, "select * from qzmap150"},
      {"SelectLibraryRows", [](Dialect d) { return SelectLibraryRows(d, "qzlib105", kChain); }, "select * from qzlib105 where mprf in (40,31,12) and " + kExclusion},
      {"SelectChainProfileNumbers", [](Dialect d) { return SelectChainProfileNumbers(d, 9); }, "select pprf from qzmap101 where mprf = 9"},
      {"SelectLibraryFunctionNames", [](Dialect d) { return SelectLibraryFunctionNames(d, kChain); }, "select distinct(fnam) from qzlib100 where mprf in (40,31,12)"},
      {"SelectLibraryFunctionVersions", [](Dialect d) { return SelectLibraryFunctionVersions(d, "fnCalcTax", kChain); }, "select * from qzlib100 where fnam = 'fnCalcTax' and mprf in (40,31,12) and " + kExclusion + " order by mprf desc "},
      {"SelectLibraryFunctionRevisions", [](Dialect d) { return SelectLibraryFunctionRevisions(d, "fnCalcTax", 9); }, "select * from qzlib105 where fnam = 'fnCalcTax' and mprf =9"},
      {"SelectApplicationExtn", [](Dialect d) { return SelectApplicationExtn(d, "EXB"); }, "select extn from qzddi100 where appl='EXB'"},
      {"SelectObjectRows/120", [](Dialect d) { return SelectObjectRows(d, "qzmap120", 9, "X41U", "c", "ab1", "PK1", "MD1", "007"); }, "select * from qzmap120 where mprf=9 and vers='X41U' and rele='c' and cust='ab1' and tcpac='PK1' and " "tcmod='MD1' and tflno='007'"},
      {"SelectObjectRows/170", [](Dialect d) { return SelectObjectRows(d, "qzmap170", 9, "X41U", "c", "ab1", "PK1", "MD1", "007"); }, "select * from qzmap170 where mprf=9 and vers='X41U' and rele='c' and cust='ab1' and cpac='PK1' and " "cmod='MD1' and cflno='007'"},
      {"SelectObjectRows/175", [](Dialect d) { return SelectObjectRows(d, "qzmap175", 9, "X41U", "c", "ab1", "PK1", "MD1", "007"); }, "select * from qzmap175 where mprf=9 and vers='X41U' and rele='c' and cust='ab1' and bpac='PK1' and " "bmod='MD1' and bflno='007'"},
      {"SelectApplicationCode", [](Dialect d) { return SelectApplicationCode(d, "EXB"); }, "select appl from qzddi100 where appl = 'EXB'"},
      {"SelectProfilesWithApplications", [](Dialect d) { return SelectProfilesWithApplications(d, "LGA", "EXB"); }, "select * from qzmap100 where sapp = 'LGA' and tapp='EXB'"},
      {"SelectProfileVrc", [](Dialect d) { return SelectProfileVrc(d, 12); }, "Select vers,rele,cust from qzmap100 where mprf = 12"},
      {"SelectDerivedProfiles", [](Dialect d) { return SelectDerivedProfiles(d, 20); }, "select mprf from qzmap101 where pprf = 20"},
      {"SelectChainRow", [](Dialect d) { return SelectChainRow(d, 30, 2); }, "select * from qzmap101 where mprf = 30and levl = 2"},
      {"SelectParentProfileByVrc", [](Dialect d) { return SelectParentProfileByVrc(d, "X40", "c", "ab1"); }, "select * from qzmap100 where vers='X40' and rele='c' and cust ='ab1'"},
      {"SelectAncestorLevel", [](Dialect d) { return SelectAncestorLevel(d, 20, 30); }, "select levl from qzmap101 where levl > 1 and pprf =20 and mprf =30"},
      {"DeleteChainRowsAbove", [](Dialect d) { return DeleteChainRowsAbove(d, 30, 2); }, "delete from qzmap101 where mprf = 30 and levl > 2"},
      {"InsertChainRow", [](Dialect d) { return InsertChainRow(d, 30, 3, "X40", "c", "ab1", 5); }, "insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values ( 30,3,'X40','c','ab1',5)"},
      {"UpdateProfileDepth", [](Dialect d) { return UpdateProfileDepth(d, 30, 3); }, "update qzmap100 set deph =3 where mprf= 30"},
      {"SelectParentChainRow", [](Dialect d) { return SelectParentChainRow(d, 20); }, "select * from qzmap101 where mprf=20 and levl=2"},
      {"DeleteApplicationRows", [](Dialect d) { return DeleteApplicationRows(d, "qzlgy141", "LGA"); }, "delete from qzlgy141 where appl='LGA'"},
      {"SelectProfileByJoinedVrc", [](Dialect d) { return SelectProfileByJoinedVrc(d, "X40", "c", "ab1"); }, "select * from qzmap100 where vers+rele+cust = 'X40cab1'"},
      {"SelectProfilesOfApplicationPair", [](Dialect d) { return SelectProfilesOfApplicationPair(d, "LGA", "EXB"); }, "select * from qzmap100 where sapp='LGA' and tapp='EXB'"},
      {"InsertProfileHeader", [](Dialect d) { return InsertProfileHeader(d, Header()); }, "insert into qzmap100 (mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,ownr,apln) values " "(12,'LGA','EXB','X42U','c','ab1','X41U','c','ab1','Customer update','Y',2,cast('" + kOwner + "' as varbinary),'MIG')"},
      {"InsertDevelopmentVrc", [](Dialect d) { return InsertDevelopmentVrc(d, 12, "X40", "c", "ab1", "d40", "c", "db1"); }, "insert into qzmap105 (mprf,vers,rele,cust,dver,drel,dcus) values (12,'X40','c','ab1','d40','c','db1')"},
      {"SelectStoredUser", [](Dialect d) { return SelectStoredUser(d, "jmartin"); }, "select distinct cast(usrn as varchar) from qzusr100 where cast(usrn as varchar)='jmartin'"},
      {"SelectUserAssignment", [](Dialect d) { return SelectUserAssignment(d, "jmartin", 12); }, "select cast(usrn as varchar),cast(mprf as int) from qzusr110 where cast(usrn as varchar)='jmartin' and " "cast(mprf as int) =12"},
      {"InsertUserAssignment", [](Dialect d) { return InsertUserAssignment(d, "jmartin", 12); }, "insert into qzusr110 (usrn,mprf) values(cast('jmartin' as varbinary),cast(12 as varbinary))"},
      {"SelectNoRows", [](Dialect d) { return SelectNoRows(d, "qzmap120"); }, "select * from qzmap120 where 1=2"},
      {"SelectLibraryFunction", [](Dialect d) { return SelectLibraryFunction(d, 12, "X40", "c", "ab1", "fnCalcTax"); }, "select * from qzlib100 where mprf = 12 and vers='X40' and rele='c' and cust='ab1' and fnam='fnCalcTax'"},
      {"SelectLibraryRevision", [](Dialect d) { return SelectLibraryRevision(d, 12, "X40", "c", "ab1", "fnCalcTax", 3); }, "select * from qzlib105 where mprf = 12 and vers='X40' and rele='c' and cust='ab1' and fnam='fnCalcTax' " "and revi=3"},
      {"SelectSharedFunction", [](Dialect d) { return SelectSharedFunction(d, "TRIM"); }, "select * from qzmap150 where func='TRIM'"},
      {"InsertBulkRow", [](Dialect d) { return InsertBulkRow(d, "qzddi160", 4); }, "insert into qzddi160 values (?,?,?,?)"},
  };
  for (std::string_view table : ProfileTables())
    c.push_back({"DeleteProfileRows/" + std::string(table), [table](Dialect d) { return DeleteProfileRows(d, table, 12); },
                 "delete from " + std::string(table) + " where mprf=12"});
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

// Every SQLite rendering runs against the schema, on a store with a few rows
// (changes rolled back each time); then what the statements find and change.
class SqliteRenderingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s_->ExecuteScript(
        "insert into qzddi100 (appl, dsca, extn) values ('LGA', 'Ledger', 0), ('EXB', 'Extension', 1);"
        "insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust, verf, relf, cusf, deph, ownr) values "
        " (5, 'LGA', 'EXB', 'X40', 'c', 'ab1', '', '', '', 1, cast('x' as blob)),"
        " (9, 'LGA', 'EXB', 'X41U', 'c', 'ab1', 'X40', 'c', 'ab1', 2, cast('y' as blob));"
        "insert into qzmap101 values (5, 1, 'X40', 'c', 'ab1', 5), (9, 1, 'X41U', 'c', 'ab1', 9),"
        " (9, 2, 'X40', 'c', 'ab1', 5);"
        "insert into qzmap105 (mprf, vers, rele, cust, dver, drel, dcus) values (9, 'X41U', 'c', 'ab1', 'd41U', 'c', 'db1');"
        "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno) values "
        " (9, 'X41U', 'c', 'ab1', 'PK1', 'MD1', '007'), (9, 'd41U', 'c', 'db1', 'PK1', 'MD1', '007');"
        "insert into qzlib100 (mprf, vers, rele, cust, fnam) values (5, 'X40', 'c', 'ab1', 'fnCalcTax'),"
        " (9, 'X41U', 'c', 'ab1', 'fnCalcTax');"
        "insert into qzusr100 (usrn) values (cast('jmartin' as blob));");
  }
  int64_t Rows(const Query& select) {
    int64_t n = 0;
    for (auto rs = s_->OpenRecordset(select); !rs->IsEOF(); rs->MoveNext()) ++n;
    return n;
  }

  TempFolder dir_;
  StoreBuilder s_ = StoreBuilder::Empty(dir_ / "s.db");
};

TEST_F(SqliteRenderingTest, EveryRenderingRuns) {
  for (const auto& c : AllCases()) {
    const Query q = c.build(Dialect::Sqlite);
    try {
      Batch b(*s_);  // not committed: every case sees the same rows
      if (q.text.rfind("select", 0) == 0 || q.text.rfind("Select", 0) == 0) {
        s_->OpenRecordset(q)->Close();
      } else {
        EXPECT_TRUE(q.values.empty()) << c.name;
        s_->Execute(q.text);
      }
    } catch (const ComError& e) {
      ADD_FAILURE() << c.name << ": " << e.number() << " " << e.description() << "\n  " << q.text;
    }
  }
}

TEST_F(SqliteRenderingTest, RenderingsFindAndChangeWhatTheyShould) {
  const Dialect d = Dialect::Sqlite;
  const struct {
    std::string name;
    Query select;
    int64_t rows;
  } finds[] = {
      {"development VRC left out", {SelectCurrentRules(d, "qzmap120", std::vector<int64_t>{9, 5}, true), {}}, 1},
      {"development VRC kept", {SelectCurrentRules(d, "qzmap120", std::vector<int64_t>{9, 5}, false), {}}, 2},
      {"object", SelectObjectRows(d, "qzmap120", 9, "X41U", "c", "ab1", "PK1", "MD1", "007"), 1},
      {"object, field number as a number", SelectObjectRows(d, "qzmap120", 9, "X41U", "c", "ab1", "PK1", "MD1", "7"), 0},
      {"chain row", {SelectChainRow(d, 9, 2), {}}, 1},
      {"derived profiles", {SelectDerivedProfiles(d, 5), {}}, 2},
      {"joined VRC", {SelectProfileByJoinedVrc(d, "X41U", "c", "ab1"), {}}, 1},
      {"profile to export", {SelectProfileToExport(d, 9), {}}, 1},
      {"stored user", {SelectStoredUser(d, "jmartin"), {}}, 1},
      {"ancestor level", {SelectAncestorLevel(d, 5, 9), {}}, 1},
      {"profiles of a pair", {SelectProfilesOfApplicationPair(d, "LGA", "EXB"), {}}, 2},
      {"library function", {SelectLibraryFunction(d, 9, "X41U", "c", "ab1", "fnCalcTax"), {}}, 1},
  };
  for (const auto& f : finds) EXPECT_EQ(Rows(f.select), f.rows) << f.name;
  // The highest profile number wins among a function's versions.
  EXPECT_EQ(s_->OpenRecordset(SelectLibraryFunctionVersions(d, "fnCalcTax", std::vector<int64_t>{5, 9}))->Fields("mprf"),
            Value(int64_t{9}));
  // Owner and users: written binary, read back as text, numbers as integers.
  s_->Execute(InsertUserAssignment(d, "jmartin", 9));
  EXPECT_EQ(s_.Rows("select typeof(usrn), typeof(mprf) from qzusr110"), (Table{{"blob", "blob"}}));
  auto a = s_->OpenRecordset(SelectUserAssignment(d, "jmartin", 9));
  ASSERT_FALSE(a->IsEOF());
  EXPECT_EQ(a->Fields(0), Value("jmartin"));
  EXPECT_EQ(a->Fields(1), Value(int64_t{9}));
  EXPECT_EQ(s_->Execute(DeleteProfileRows(d, "qzusr110", 9)), 1);
  s_->Execute(InsertProfileHeader(d, Header()));
  s_->Execute(InsertDevelopmentVrc(d, 12, "X42U", "c", "ab1", "d42U", "c", "db1"));
  EXPECT_EQ(s_.Rows("select mprf, sapp, tapp, vers, rele, cust, verf, relf, cusf, dsca, scme, deph, apln, typeof(ownr) "
                    "from qzmap100 where mprf = 12"),
            (Table{{"12", "LGA", "EXB", "X42U", "c", "ab1", "X41U", "c", "ab1", "Customer update", "Y", "2", "MIG", "blob"}}));
  EXPECT_EQ(s_->OpenRecordset(SelectSingleProfileHeader(d, 12))->Fields(12), Value(kOwner));
  EXPECT_EQ(s_.Rows("select mprf, vers, rele, cust, dver, drel, dcus from qzmap105 where mprf = 12"),
            (Table{{"12", "X42U", "c", "ab1", "d42U", "c", "db1"}}));
  // A quote inside a value is data, not the end of the text.
  s_->Execute(InsertChainRow(d, 12, 1, "X'42", "c", "007", 12));
  EXPECT_EQ(s_.Rows("select mprf, levl, vers, rele, cust, pprf from qzmap101 where mprf = 12"),
            (Table{{"12", "1", "X'42", "c", "007", "12"}}));
  EXPECT_EQ(Rows({SelectParentProfileByVrc(d, "X'42", "c", "007"), {}}), 0);
  s_->Execute(UpdateProfileDepth(d, 12, 4));
  EXPECT_EQ(s_.Rows("select mprf, deph from qzmap100"), (Table{{"12", "4"}, {"5", "1"}, {"9", "2"}}));
  EXPECT_EQ(s_->Execute(DeleteChainRowsAbove(d, 9, 1)), 1);
  EXPECT_EQ(s_.Count("select count(*) from qzmap101 where mprf = 9 and levl = 1"), 1);
  EXPECT_EQ(s_->Execute(DeleteApplicationRows(d, "qzddi100", "EXB")), 1);
  EXPECT_EQ(s_->Execute(DeleteProfileRows(d, "qzmap120", 9)), 2);
}

// Bound values find exactly the rows that the values written into the text
// find, quotes and leading zeros included.
TEST_F(SqliteRenderingTest, BoundObjectValuesFindWhatInlinedValuesFind) {
  s_->ExecuteScript(
      "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno) values "
      " (9, 'X41U', 'c', 'ab1', 'O''B', 'M''D', '007'), (9, 'X41U', 'c', 'ab1', 'O''B', 'M''D', '007'),"
      " (9, 'X41U', 'c', 'ab1', 'O''B', 'M''D', '7'), (9, 'X''41', 'c''', 'ab1', 'PK1', 'MD1', '007'),"
      " (5, 'X41U', 'c', 'ab1', 'O''B', 'M''D', '007');"
      "insert into qzmap175 (mprf, vers, rele, cust, bpac, bmod, bflno, cpac) values "
      " (9, 'X41U', 'c', 'ab1', 'O''B', 'M''D', '007', 'x'), (9, 'X41U', 'c', 'ab1', 'PK1', 'MD1', '007', 'y');");
  const struct {
    std::string table;
    int64_t mprf;
    std::string vers, rele, pac, mod, flno;
    int64_t rows;
  } probes[] = {
      {"qzmap120", 9, "X41U", "c", "O'B", "M'D", "007", 2},  {"qzmap120", 9, "X41U", "c", "O'B", "M'D", "7", 1},
      {"qzmap120", 9, "X'41", "c'", "PK1", "MD1", "007", 1}, {"qzmap120", 9, "X41U", "c", "O'B", "M'D", "07", 0},
      {"qzmap120", 5, "X41U", "c", "O'B", "M'D", "007", 1},  {"qzmap175", 9, "X41U", "c", "O'B", "M'D", "007", 1},
      {"qzmap175", 9, "X41U", "c", "PK1", "MD1", "7", 0},
  };
  for (const auto& p : probes) {
    const Query bound = SelectObjectRows(Dialect::Sqlite, p.table, p.mprf, p.vers, p.rele, "ab1", p.pac, p.mod, p.flno);
    const Query inlined = SelectObjectRows(Dialect::TSql, p.table, p.mprf, p.vers, p.rele, "ab1", p.pac, p.mod, p.flno);
    EXPECT_FALSE(bound.values.empty()) << inlined.text << ": every object shares one text";
    EXPECT_EQ(Rows(bound), p.rows) << inlined.text;
    EXPECT_EQ(Rows({inlined.text, {}}), p.rows) << inlined.text;
  }
}

}  // namespace
}  // namespace kestrel::store
