// Every statement builder: its T-SQL text as the component always wrote it,
// and its SQLite rendering run against the schema.
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
#include "support/temp_folder.h"

namespace kestrel::store {
namespace {

using kestrel::testing::TempFolder;

const std::string kHeader13 = "select mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,cast(ownr as varchar)";
const std::string kHeader18 = kHeader13 + ",bsen,rhos,busr,pswd,apln";
const std::string kExclusion =
    "( vers + rele + cust not in ( select dver + drel + dcus from qzmap105 where mprf in (40,31,12)))";
const std::vector<int64_t> kChain{40, 31, 12};
const std::vector<int64_t> kOne{12};

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
      // Shared look-ups.
      {"SelectProfile", [](Dialect d) { return SelectProfile(d, 12); }, "select * from qzmap100 where mprf = 12"},
      {"SelectProfileByVrc", [](Dialect d) { return SelectProfileByVrc(d, "X40", "c", "ab1"); },
       "select * from qzmap100 where vers='X40' and rele='c' and cust='ab1'"},
      {"SelectApplicationRows", [](Dialect d) { return SelectApplicationRows(d, "qzddi140", "EXB"); },
       "select * from qzddi140 where appl='EXB'"},
      {"SelectParentLevelRow", [](Dialect d) { return SelectParentLevelRow(d, 31); },
       "select * from qzmap101 where levl=2 and mprf = 31"},

      // Export.
      {"SelectProfileToExport", [](Dialect d) { return SelectProfileToExport(d, 12); },
       kHeader13 + " from qzmap100 where mprf ='12'"},
      {"SelectChainProfileHeader", [](Dialect d) { return SelectChainProfileHeader(d, 40); },
       kHeader18 + " from qzmap100 where mprf=40"},
      {"SelectChainProfileHeaderByVrc",
       [](Dialect d) { return SelectChainProfileHeaderByVrc(d, "X40", "c", "ab1"); },
       kHeader18 + " from qzmap100 where vers='X40' and rele='c' and cust='ab1'"},
      {"SelectSingleProfileHeader", [](Dialect d) { return SelectSingleProfileHeader(d, 12); },
       kHeader18 + " from qzmap100 where mprf = 12"},
      {"SelectDevelopmentVrcRows", [](Dialect d) { return SelectDevelopmentVrcRows(d, 12); },
       "select * from qzmap105 where mprf= 12"},
      {"SelectCurrentRules/excluding", [](Dialect d) { return SelectCurrentRules(d, "qzmap120", kChain, true); },
       "select * from qzmap120 where mprf in (40,31,12)  and " + kExclusion},
      {"SelectCurrentRules/sync", [](Dialect d) { return SelectCurrentRules(d, "qzmap170", kChain, false); },
       "select * from qzmap170 where mprf in (40,31,12) "},
      {"SelectCurrentRules/one", [](Dialect d) { return SelectCurrentRules(d, "qzmap130", kOne, false); },
       "select * from qzmap130 where mprf in (12) "},
      {"SelectProfileRows/101", [](Dialect d) { return SelectProfileRows(d, "qzmap101", kChain); },
       "select * from qzmap101 where mprf in (40,31,12)"},
      {"SelectProfileRows/175", [](Dialect d) { return SelectProfileRows(d, "qzmap175", kOne); },
       "select * from qzmap175 where mprf in (12)"},
      {"SelectAllCodes", [](Dialect d) { return SelectAllCodes(d); }, "select * from qzlgy115"},
      {"SelectAllFunctions", [](Dialect d) { return SelectAllFunctions(d); }, "select * from qzmap150"},
      {"SelectLibraryRows", [](Dialect d) { return SelectLibraryRows(d, "qzlib105", kChain); },
       "select * from qzlib105 where mprf in (40,31,12) and " + kExclusion},
      {"SelectChainProfileNumbers", [](Dialect d) { return SelectChainProfileNumbers(d, 9); },
       "select pprf from qzmap101 where mprf = 9"},
      {"SelectLibraryFunctionNames", [](Dialect d) { return SelectLibraryFunctionNames(d, kChain); },
       "select distinct(fnam) from qzlib100 where mprf in (40,31,12)"},
      {"SelectLibraryFunctionVersions",
       [](Dialect d) { return SelectLibraryFunctionVersions(d, "fnCalcTax", kChain); },
       "select * from qzlib100 where fnam = 'fnCalcTax' and mprf in (40,31,12) and " + kExclusion +
           " order by mprf desc "},
      {"SelectLibraryFunctionRevisions",
       [](Dialect d) { return SelectLibraryFunctionRevisions(d, "fnCalcTax", 9); },
       "select * from qzlib105 where fnam = 'fnCalcTax' and mprf =9"},
      {"SelectApplicationExtn", [](Dialect d) { return SelectApplicationExtn(d, "EXB"); },
       "select extn from qzddi100 where appl='EXB'"},
      {"SelectObjectRows/120",
       [](Dialect d) { return SelectObjectRows(d, "qzmap120", 9, "X41U", "c", "ab1", "PK1", "MD1", "007"); },
       "select * from qzmap120 where mprf=9 and vers='X41U' and rele='c' and cust='ab1' and tcpac='PK1' and "
       "tcmod='MD1' and tflno='007'"},
      {"SelectObjectRows/170",
       [](Dialect d) { return SelectObjectRows(d, "qzmap170", 9, "X41U", "c", "ab1", "PK1", "MD1", "007"); },
       "select * from qzmap170 where mprf=9 and vers='X41U' and rele='c' and cust='ab1' and cpac='PK1' and "
       "cmod='MD1' and cflno='007'"},
      {"SelectObjectRows/175",
       [](Dialect d) { return SelectObjectRows(d, "qzmap175", 9, "X41U", "c", "ab1", "PK1", "MD1", "007"); },
       "select * from qzmap175 where mprf=9 and vers='X41U' and rele='c' and cust='ab1' and bpac='PK1' and "
       "bmod='MD1' and bflno='007'"},

      // Selection checks.
      {"SelectApplicationCode", [](Dialect d) { return SelectApplicationCode(d, "EXB"); },
       "select appl from qzddi100 where appl = 'EXB'"},
      {"SelectProfilesWithApplications", [](Dialect d) { return SelectProfilesWithApplications(d, "LGA", "EXB"); },
       "select * from qzmap100 where sapp = 'LGA' and tapp='EXB'"},

      // Hierarchy.
      {"SelectProfileVrc", [](Dialect d) { return SelectProfileVrc(d, 12); },
       "Select vers,rele,cust from qzmap100 where mprf = 12"},
      {"SelectDerivedProfiles", [](Dialect d) { return SelectDerivedProfiles(d, 20); },
       "select mprf from qzmap101 where pprf = 20"},
      {"SelectChainRow", [](Dialect d) { return SelectChainRow(d, 30, 2); },
       "select * from qzmap101 where mprf = 30and levl = 2"},
      {"SelectParentProfileByVrc", [](Dialect d) { return SelectParentProfileByVrc(d, "X40", "c", "ab1"); },
       "select * from qzmap100 where vers='X40' and rele='c' and cust ='ab1'"},
      {"SelectAncestorLevel", [](Dialect d) { return SelectAncestorLevel(d, 20, 30); },
       "select levl from qzmap101 where levl > 1 and pprf =20 and mprf =30"},
      {"DeleteChainRowsAbove", [](Dialect d) { return DeleteChainRowsAbove(d, 30, 2); },
       "delete from qzmap101 where mprf = 30 and levl > 2"},
      {"InsertChainRow", [](Dialect d) { return InsertChainRow(d, 30, 3, "X40", "c", "ab1", 5); },
       "insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values ( 30,3,'X40','c','ab1',5)"},
      {"UpdateProfileDepth", [](Dialect d) { return UpdateProfileDepth(d, 30, 3); },
       "update qzmap100 set deph =3 where mprf= 30"},
      {"SelectParentChainRow", [](Dialect d) { return SelectParentChainRow(d, 20); },
       "select * from qzmap101 where mprf=20 and levl=2"},

      // Deleting what the pack replaces.
      {"DeleteApplicationRows", [](Dialect d) { return DeleteApplicationRows(d, "qzlgy141", "LGA"); },
       "delete from qzlgy141 where appl='LGA'"},

      // Headers.
      {"SelectProfileByJoinedVrc", [](Dialect d) { return SelectProfileByJoinedVrc(d, "X40", "c", "ab1"); },
       "select * from qzmap100 where vers+rele+cust = 'X40cab1'"},
      {"SelectProfilesOfApplicationPair",
       [](Dialect d) { return SelectProfilesOfApplicationPair(d, "LGA", "EXB"); },
       "select * from qzmap100 where sapp='LGA' and tapp='EXB'"},
      {"InsertProfileHeader",
       [](Dialect d) {
         ProfileHeaderValues v;
         v.mprf = 12;
         v.sapp = "LGA";
         v.tapp = "EXB";
         v.vers = "X42U";
         v.rele = "c";
         v.cust = "ab1";
         v.verf = "X41U";
         v.relf = "c";
         v.cusf = "ab1";
         v.dsca = "Customer update";
         v.scme = "Y";
         v.deph = 2;
         v.owner = std::string("\x01\x03\x03\x05\x05\x06\x08\x09\x09\x0b" "q\xe2\x17z", 14);
         v.apln = "MIG";
         return InsertProfileHeader(d, v);
       },
       "insert into qzmap100 (mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,ownr,apln) values "
       "(12,'LGA','EXB','X42U','c','ab1','X41U','c','ab1','Customer update','Y',2,cast('" +
           std::string("\x01\x03\x03\x05\x05\x06\x08\x09\x09\x0b" "q\xe2\x17z", 14) + "' as varbinary),'MIG')"},
      {"InsertDevelopmentVrc",
       [](Dialect d) { return InsertDevelopmentVrc(d, 12, "X40", "c", "ab1", "d40", "c", "db1"); },
       "insert into qzmap105 (mprf,vers,rele,cust,dver,drel,dcus) values (12,'X40','c','ab1','d40','c','db1')"},
      {"SelectStoredUser", [](Dialect d) { return SelectStoredUser(d, "jmartin"); },
       "select distinct cast(usrn as varchar) from qzusr100 where cast(usrn as varchar)='jmartin'"},
      {"SelectUserAssignment", [](Dialect d) { return SelectUserAssignment(d, "jmartin", 12); },
       "select cast(usrn as varchar),cast(mprf as int) from qzusr110 where cast(usrn as varchar)='jmartin' and "
       "cast(mprf as int) =12"},
      {"InsertUserAssignment", [](Dialect d) { return InsertUserAssignment(d, "jmartin", 12); },
       "insert into qzusr110 (usrn,mprf) values(cast('jmartin' as varbinary),cast(12 as varbinary))"},

      // Loaders.
      {"SelectNoRows", [](Dialect d) { return SelectNoRows(d, "qzmap120"); }, "select * from qzmap120 where 1=2"},
      {"SelectLibraryFunction",
       [](Dialect d) { return SelectLibraryFunction(d, 12, "X40", "c", "ab1", "fnCalcTax"); },
       "select * from qzlib100 where mprf = 12 and vers='X40' and rele='c' and cust='ab1' and fnam='fnCalcTax'"},
      {"SelectLibraryRevision",
       [](Dialect d) { return SelectLibraryRevision(d, 12, "X40", "c", "ab1", "fnCalcTax", 3); },
       "select * from qzlib105 where mprf = 12 and vers='X40' and rele='c' and cust='ab1' and fnam='fnCalcTax' "
       "and revi=3"},
      {"SelectSharedFunction", [](Dialect d) { return SelectSharedFunction(d, "TRIM"); },
       "select * from qzmap150 where func='TRIM'"},

      // Bulk loader.
      {"InsertBulkRow", [](Dialect d) { return InsertBulkRow(d, "qzddi160", 4); },
       "insert into qzddi160 values (?,?,?,?)"},
  };
  // The seventeen deletions of a replaced profile, in their order.
  for (std::string_view table : ProfileTables())
    c.push_back({"DeleteProfileRows/" + std::string(table),
                 [table](Dialect d) { return DeleteProfileRows(d, table, 12); },
                 "delete from " + std::string(table) + " where mprf=12"});
  return c;
}

TEST(StatementsTest, TSqlTextsAreTheComponentsOwn) {
  for (const auto& c : AllCases()) {
    Query q = c.build(Dialect::TSql);
    EXPECT_EQ(q.text, c.tsql) << c.name;
    EXPECT_TRUE(q.values.empty()) << c.name << ": T-SQL carries its values in the text";
  }
}

TEST(StatementsTest, SqliteDiffersOnlyWhereItMust) {
  EXPECT_EQ(SelectChainRow(Dialect::Sqlite, 30, 2), "select * from qzmap101 where mprf = 30 and levl = 2");
  EXPECT_EQ(SelectProfileByJoinedVrc(Dialect::Sqlite, "X40", "c", "ab1"),
            "select * from qzmap100 where vers||rele||cust = 'X40cab1'");
  EXPECT_EQ(SelectCurrentRules(Dialect::Sqlite, "qzmap120", kOne, true),
            "select * from qzmap120 where mprf in (12)  and ( vers || rele || cust not in ( select dver || drel || "
            "dcus from qzmap105 where mprf in (12)))");
  EXPECT_EQ(SelectProfileToExport(Dialect::Sqlite, 12),
            "select mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,cast(ownr as text) from qzmap100 "
            "where mprf ='12'");
  EXPECT_EQ(InsertUserAssignment(Dialect::Sqlite, "jmartin", 12),
            "insert into qzusr110 (usrn,mprf) values(cast('jmartin' as blob),cast(12 as blob))");
  EXPECT_EQ(DeleteProfileRows(Dialect::Sqlite, "qzusr110", 12), "delete from qzusr110 where cast(mprf as int)=12");
  EXPECT_EQ(DeleteProfileRows(Dialect::Sqlite, "qzmap120", 12), "delete from qzmap120 where mprf=12");
  // A mapping object's rows: its values bound, so every object shares one text.
  Query object = SelectObjectRows(Dialect::Sqlite, "qzmap170", 9, "X41U", "c", "ab1", "PK1", "MD1", "007");
  EXPECT_EQ(object.text,
            "select * from qzmap170 where mprf=? and vers=? and rele=? and cust=? and cpac=? and cmod=? and cflno=?");
  EXPECT_EQ(object.values, (std::vector<Value>{Value(int64_t{9}), Value("X41U"), Value("c"), Value("ab1"),
                                               Value("PK1"), Value("MD1"), Value("007")}));
  EXPECT_EQ(SelectObjectRows(Dialect::Sqlite, "qzmap170", 12, "X'42", "d", "ab2", "PK2", "MD2", "8").text,
            object.text);
  // Everything else renders alike in both dialects.
  int same = 0;
  for (const auto& c : AllCases()) {
    Query q = c.build(Dialect::Sqlite);
    same += q.text == c.tsql && q.values.empty();
  }
  EXPECT_EQ(same, static_cast<int>(AllCases().size()) - 17);
}

TEST(StatementsTest, ValuesAreRenderedInOnePlace) {
  // Embedded quotes are doubled; a value without one is unchanged.
  EXPECT_EQ(sql::Text("O'Brien's"), "O''Brien''s");
  EXPECT_EQ(sql::Text("X40"), "X40");
  EXPECT_EQ(sql::Quoted("it's"), "'it''s'");
  EXPECT_EQ(SelectProfileByVrc(Dialect::TSql, "X4'0", "c", "ab1"),
            "select * from qzmap100 where vers='X4''0' and rele='c' and cust='ab1'");
  EXPECT_EQ(SelectSharedFunction(Dialect::TSql, "fn'x"), "select * from qzmap150 where func='fn''x'");
  // Numbers come from integers: no sign games, no leading zeros or blanks.
  EXPECT_EQ(sql::Number(-7), "-7");
  EXPECT_EQ(sql::NumberList(std::vector<int64_t>{}), "");
  EXPECT_EQ(sql::NumberList(std::vector<int64_t>{7, 0, 32767}), "7,0,32767");
  EXPECT_EQ(SelectProfile(Dialect::TSql, 7), "select * from qzmap100 where mprf = 7");
  EXPECT_EQ(sql::NumberBeforeWord(Dialect::TSql, 12), "12");
  EXPECT_EQ(sql::NumberBeforeWord(Dialect::Sqlite, 12), "12 ");
  EXPECT_EQ(sql::CastToBinary(Dialect::TSql, "'x'"), "cast('x' as varbinary)");
  EXPECT_EQ(sql::CastToText(Dialect::Sqlite, "ownr"), "cast(ownr as text)");
}

// Every SQLite rendering runs against the schema: a fresh store with a few
// rows, every statement prepared and run (changes rolled back each time).
class SqliteRenderingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c_ = CreateStore(dir_ / "s.db");
    c_->ExecuteScript(
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
  int64_t Rows(const std::string& select) { return Rows(Query{select, {}}); }
  int64_t Rows(const Query& select) {
    auto rs = c_->OpenRecordset(select);
    int64_t n = 0;
    for (; !rs->IsEOF(); rs->MoveNext()) ++n;
    return n;
  }

  TempFolder dir_;
  std::shared_ptr<Connection> c_;
};

TEST_F(SqliteRenderingTest, EveryRenderingRuns) {
  for (const auto& c : AllCases()) {
    Query q = c.build(Dialect::Sqlite);
    const std::string& s = q.text;
    try {
      Batch b(*c_);
      if (s.rfind("select", 0) == 0 || s.rfind("Select", 0) == 0) {
        c_->OpenRecordset(q)->Close();
      } else {
        EXPECT_TRUE(q.values.empty()) << c.name;
        c_->Execute(s);
      }
      // not committed: every case sees the same rows
    } catch (const ComError& e) {
      ADD_FAILURE() << c.name << ": " << e.number() << " " << e.description() << "\n  " << s;
    }
  }
}

TEST_F(SqliteRenderingTest, RenderingsFindWhatTheyShould) {
  const Dialect d = Dialect::Sqlite;
  // The exclusion leaves out the row in profile 9's development VRC.
  EXPECT_EQ(Rows(SelectCurrentRules(d, "qzmap120", std::vector<int64_t>{9, 5}, true)), 1);
  EXPECT_EQ(Rows(SelectCurrentRules(d, "qzmap120", std::vector<int64_t>{9, 5}, false)), 2);
  EXPECT_EQ(Rows(SelectObjectRows(d, "qzmap120", 9, "X41U", "c", "ab1", "PK1", "MD1", "007")), 1);
  EXPECT_EQ(Rows(SelectObjectRows(d, "qzmap120", 9, "X41U", "c", "ab1", "PK1", "MD1", "7")), 0);
  // The number that touches "and" in T-SQL is read the same.
  EXPECT_EQ(Rows(SelectChainRow(d, 9, 2)), 1);
  EXPECT_EQ(Rows(SelectDerivedProfiles(d, 5)), 2);
  EXPECT_EQ(Rows(SelectProfileByJoinedVrc(d, "X41U", "c", "ab1")), 1);
  EXPECT_EQ(Rows(SelectProfileToExport(d, 9)), 1);
  // The highest profile number wins among a function's versions.
  auto versions = c_->OpenRecordset(SelectLibraryFunctionVersions(d, "fnCalcTax", std::vector<int64_t>{5, 9}));
  EXPECT_EQ(versions->Fields("mprf"), Value(int64_t{9}));

  // Owner and users: written binary, read back as text, numbers as integers.
  c_->Execute(InsertUserAssignment(d, "jmartin", 9));
  auto a = c_->OpenRecordset(SelectUserAssignment(d, "jmartin", 9));
  ASSERT_FALSE(a->IsEOF());
  EXPECT_EQ(a->Fields(0), Value("jmartin"));
  EXPECT_EQ(a->Fields(1), Value(int64_t{9}));
  EXPECT_EQ(Rows(SelectStoredUser(d, "jmartin")), 1);
  EXPECT_EQ(c_->Execute(DeleteProfileRows(d, "qzusr110", 9)), 1);

  ProfileHeaderValues v;
  v.mprf = 12;
  v.vers = "X42U";
  v.rele = "c";
  v.cust = "007";  // stays text: '007', not 7
  v.owner = std::string("\x02\x02\x04\x05\x06\x06\x08\x09\x0a\x0b" "0\x01'7", 14);
  v.scme = "Y";
  v.deph = 3;
  c_->Execute(InsertProfileHeader(d, v));
  auto h = c_->OpenRecordset(SelectSingleProfileHeader(d, 12));
  EXPECT_EQ(h->Fields("cust"), Value("007"));
  EXPECT_EQ(h->Fields(12), Value(v.owner));
  EXPECT_EQ(h->Fields("deph"), Value(int64_t{3}));

  // A quote inside a value is data, not the end of the text.
  c_->Execute(InsertChainRow(d, 12, 1, "X'42", "c", "007", 12));
  EXPECT_EQ(Rows(SelectParentProfileByVrc(d, "X'42", "c", "007")), 0);
  EXPECT_EQ(Rows("select * from qzmap101 where vers = 'X''42'"), 1);
  c_->Execute(UpdateProfileDepth(d, 12, 4));
  EXPECT_EQ(c_->OpenRecordset(SelectProfile(d, 12))->Fields("deph"), Value(int64_t{4}));
  EXPECT_EQ(c_->Execute(DeleteChainRowsAbove(d, 9, 1)), 1);
  EXPECT_EQ(c_->Execute(DeleteApplicationRows(d, "qzddi100", "EXB")), 1);
}

// Bound values find exactly the rows that the values written into the text
// find, quotes and leading zeros included.
TEST_F(SqliteRenderingTest, BoundObjectValuesFindWhatInlinedValuesFind) {
  c_->ExecuteScript(
      "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno) values "
      " (9, 'X41U', 'c', 'ab1', 'O''B', 'M''D', '007'), (9, 'X41U', 'c', 'ab1', 'O''B', 'M''D', '007'),"
      " (9, 'X41U', 'c', 'ab1', 'O''B', 'M''D', '7'), (9, 'X''41', 'c''', 'ab1', 'PK1', 'MD1', '007'),"
      " (5, 'X41U', 'c', 'ab1', 'O''B', 'M''D', '007');"
      "insert into qzmap175 (mprf, vers, rele, cust, bpac, bmod, bflno, cpac) values "
      " (9, 'X41U', 'c', 'ab1', 'O''B', 'M''D', '007', 'x'), (9, 'X41U', 'c', 'ab1', 'PK1', 'MD1', '007', 'y');");
  struct Probe {
    std::string table;
    int64_t mprf;
    std::string vers, rele, pac, mod, flno;
    int64_t rows;
  };
  const Probe probes[] = {
      {"qzmap120", 9, "X41U", "c", "O'B", "M'D", "007", 2},  {"qzmap120", 9, "X41U", "c", "O'B", "M'D", "7", 1},
      {"qzmap120", 9, "X'41", "c'", "PK1", "MD1", "007", 1}, {"qzmap120", 9, "X41U", "c", "O'B", "M'D", "07", 0},
      {"qzmap120", 5, "X41U", "c", "O'B", "M'D", "007", 1},  {"qzmap175", 9, "X41U", "c", "O'B", "M'D", "007", 1},
      {"qzmap175", 9, "X41U", "c", "PK1", "MD1", "7", 0},
  };
  for (const Probe& p : probes) {
    Query bound = SelectObjectRows(Dialect::Sqlite, p.table, p.mprf, p.vers, p.rele, "ab1", p.pac, p.mod, p.flno);
    // The T-SQL rendering of this statement reads the same in SQLite.
    Query inlined = SelectObjectRows(Dialect::TSql, p.table, p.mprf, p.vers, p.rele, "ab1", p.pac, p.mod, p.flno);
    EXPECT_EQ(Rows(bound), p.rows) << inlined.text;
    EXPECT_EQ(Rows(inlined.text), p.rows) << inlined.text;
  }
}

}  // namespace
}  // namespace kestrel::store
