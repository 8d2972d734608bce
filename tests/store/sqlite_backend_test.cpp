// What only the SQLite backend does: statements compiled once and found again
// in its cache, the hidden rowid by which found rows change, binary values
// stored as blobs, and query-only connections that may not bulk load.
#include "store/sqlite/connection.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/open.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::store::sqlite {
namespace {

using kestrel::testing::ErrorOf;
using kestrel::testing::TempFolder;

class SqliteBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c_ = store::Create(dir_ / "store.db");
    c_->ExecuteScript(
        "create table qzmap120 (mprf integer, vers text, rele text, comt text);"
        "create table qzusr100 (usrn blob, dsca text);");
  }
  size_t Compiled() const { return dynamic_cast<const SqliteConnection&>(*c_).CompiledStatements(); }

  TempFolder dir_;
  std::shared_ptr<Connection> c_;
};

TEST_F(SqliteBackendTest, StatementsAreCompiledOnceAndHandedOutAgain) {
  const std::string insert = "insert into qzmap120 (mprf) values (?)";
  { c_->Prepare(insert)->Run(); }
  const size_t after_first = Compiled();
  {
    auto s = c_->Prepare(insert);
    EXPECT_EQ(Compiled(), after_first) << "the released statement is handed out again";
    // A second holder of the same text at once gets its own statement.
    auto t = c_->Prepare(insert);
    EXPECT_EQ(Compiled(), after_first + 1);
  }
  // Bound selects with other values share one statement, and two recordsets
  // on one text at once read independently.
  c_->Execute("insert into qzmap120 (mprf, vers) values (7, 'X40'), (8, 'X41')");
  const std::string select = "select mprf from qzmap120 where vers = ? or mprf = ?";
  auto a = c_->OpenRecordset(Query{select, {Value("X40"), Value(8)}});
  const size_t with_one = Compiled();
  auto b = c_->OpenRecordset(Query{select, {Value("X41"), Value(0)}});
  EXPECT_EQ(Compiled(), with_one + 1) << "b is a second holder of the text";
  a.reset();
  b.reset();
  for (const char* vers : {"X40", "X41", "X42"}) c_->OpenRecordset(Query{select, {Value(vers), Value(0)}});
  EXPECT_EQ(Compiled(), with_one + 1) << "other values, same statements: nothing new is compiled";
}

TEST_F(SqliteBackendTest, ARowidIsFetchedWhereTheTableHasOne) {
  // A table without rowid is read, again and again, but its rows cannot be changed.
  c_->ExecuteScript("create table keyed (k text primary key, v text) without rowid;"
                    "insert into keyed values ('a', '1'), ('b', '2');");
  for (int round = 0; round < 2; ++round) {
    auto rs = c_->OpenRecordset("select * from keyed order by k");
    ASSERT_EQ(rs->FieldCount(), 2);
    EXPECT_EQ(rs->GetString(-1, "=", ";"), "a=1;b=2;");
  }
  {
    auto rs = c_->OpenRecordset("select * from keyed where k = 'a'");
    rs->Put("v", Value("9"));
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), Number(Ours::RowsNotChangeable));
  }
  // A select that failed because its table was missing works once the table exists.
  const std::string select = "select * from later where k = 'a'";
  EXPECT_EQ(ErrorOf([&] { c_->OpenRecordset(select); }), 1);
  c_->ExecuteScript("create table later (k text, v text); insert into later values ('a', '1');");
  {
    auto rs = c_->OpenRecordset(select);
    EXPECT_EQ(rs->FieldCount(), 2);
    rs->Put("v", Value("2"));
    rs->Update();
  }
  EXPECT_EQ(c_->OpenRecordset("select v from later")->Fields(0), Value("2"));
}

// The table a recordset adds rows to is the one its rows come from, as SQLite
// tells it: joined tables it reads nothing from count too, sub-selects do not.
TEST_F(SqliteBackendTest, TheTableOfARecordsetIsTheOneItsRowsComeFrom) {
  struct Case {
    std::string select;
    std::string table;
  };
  const std::vector<Case> cases = {
      {"select * from qzmap120 where 1=2", "qzmap120"},
      {"  SELECT *FROM qzmap120 where mprf = 77", "qzmap120"},
      {"select mprf, vers from QZMAP120", "qzmap120"},
      {"select count(*) from qzmap120", "qzmap120"},
      {"select * from qzmap120 where mprf in (select length(dsca) from qzusr100)", "qzmap120"},
      {"select * from qzmap120, qzusr100", ""},
      {"select mprf from qzmap120 join qzusr100 on 1=1", ""},
      {"select mprf, dsca from qzmap120 join qzusr100 on mprf = length(dsca)", ""},
      {"select 1, 'x'", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c_->OpenRecordset(c.select)->TargetTable(), c.table) << c.select;
}

TEST_F(SqliteBackendTest, TextsPutIntoBinaryColumnsAreBlobs) {
  auto users = c_->OpenRecordset("select * from qzusr100 where 1=2");
  users->AddNew();
  users->Put("usrn", "jmartin");
  users->Put("dsca", "jmartin");
  users->Update();
  users.reset();
  EXPECT_EQ(c_->OpenRecordset("select typeof(usrn), typeof(dsca) from qzusr100")->GetString(-1, ",", ";"),
            "blob,text;");
}

TEST_F(SqliteBackendTest, AQueryOnlyConnectionMayNotBulkLoad) {
  EXPECT_TRUE(c_->CanBulkLoad());
  c_->Execute("pragma query_only=1");
  EXPECT_FALSE(c_->CanBulkLoad());
  c_->Execute("pragma query_only=0");
  EXPECT_TRUE(c_->CanBulkLoad());
}

}  // namespace
}  // namespace kestrel::store::sqlite
