// What every store backend must do, written against the store interface
// only: self-committing statements, batches and savepoints, reading, adding
// and changing rows, value forms, bytes 1 to 255, bulk loads, GetString
// pieces, and what the connection hands out outliving it. Runs once per
// backend (backends.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/connection.h"
#include "store/open.h"
#include "store/backends.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kestrel::store {
namespace {

using kestrel::testing::ErrorOf;
using kestrel::testing::StoreBackend;
using kestrel::testing::TempFolder;

class StoreConformance : public ::testing::TestWithParam<StoreBackend> {
 protected:
  void SetUp() override {
    location_ = GetParam().location(dir_.path());
    c_ = store::Create(location_);
    c_->ExecuteScript(
        "create table qzmap120 (mprf integer, vers text, rele text, cust text, tcpac text, isms text, "
        "ldat text, comt text);"
        "create table qzusr100 (usrn blob, dsca text);"
        "create table qzddi100 (appl text, dsca text, extn integer);");
  }
  int64_t Count(const std::string& where = "") {
    auto rs = c_->OpenRecordset("select count(*) from qzmap120" + where);
    return rs->Fields(0).Integer();
  }
  // "insert into qzmap120 (mprf) values (?)" in the backend's placeholders.
  std::string InsertMprf() { return "insert into qzmap120 (mprf) values (" + c_->Placeholder(1) + ")"; }
  std::vector<int64_t> Mprfs() {
    std::vector<int64_t> out;
    for (auto rs = c_->OpenRecordset("select mprf from qzmap120 order by mprf"); !rs->IsEOF(); rs->MoveNext())
      out.push_back(rs->Fields(0).Integer());
    return out;
  }

  TempFolder dir_;
  std::string location_;
  std::shared_ptr<Connection> c_;
};

INSTANTIATE_TEST_SUITE_P(Backends, StoreConformance, ::testing::ValuesIn(kestrel::testing::AllStoreBackends()), kestrel::testing::BackendName);

TEST_P(StoreConformance, EachStatementCommitsByItself) {
  auto other = store::Open(location_);
  EXPECT_EQ(c_->Execute("insert into qzmap120 (mprf, vers) values (12, 'X40')"), 1);
  EXPECT_FALSE(c_->InTransaction());
  EXPECT_FALSE(other->OpenRecordset("select * from qzmap120 where mprf = 12")->IsEOF());
  EXPECT_EQ(c_->Execute("update qzmap120 set vers = 'X41' where mprf = 99"), 0);
  EXPECT_EQ(ErrorOf([&] { c_->Execute("insert into nosuch values (1)"); }), GetParam().no_such_table);
  EXPECT_EQ(ErrorOf([&] { c_->Execute("delete from qzmap120; delete from qzddi100"); }), 9023);
  EXPECT_EQ(Count(), 1);  // the refused pair ran neither statement
}

TEST_P(StoreConformance, BatchCommitsOrRollsBackItsOwnWork) {
  {
    Batch b(*c_);
    EXPECT_TRUE(c_->InTransaction());
    c_->Execute("insert into qzmap120 (mprf) values (1)");
    c_->Execute("insert into qzmap120 (mprf) values (2)");
    b.Commit();
  }
  EXPECT_FALSE(c_->InTransaction());
  EXPECT_EQ(Count(), 2);
  {
    Batch b(*c_);
    c_->Execute("insert into qzmap120 (mprf) values (3)");
    // left without Commit: rolled back
  }
  EXPECT_EQ(Count(), 2);
  // Nested batches: the inner one is a savepoint of the outer.
  {
    Batch outer(*c_);
    c_->Execute("insert into qzmap120 (mprf) values (4)");
    {
      Batch inner(*c_);
      c_->Execute("insert into qzmap120 (mprf) values (5)");
    }
    outer.Commit();
  }
  EXPECT_EQ(Count(" where mprf = 4"), 1);
  EXPECT_EQ(Count(" where mprf = 5"), 0);
}

TEST_P(StoreConformance, BatchUnderTheCallersTransactionIsASavepoint) {
  auto other = store::Open(location_);
  c_->Execute("begin");
  c_->Execute("insert into qzmap120 (mprf) values (1)");
  {
    Batch b(*c_);
    c_->Execute("insert into qzmap120 (mprf) values (2)");
    b.Commit();
  }
  // The batch did not commit the caller's transaction.
  EXPECT_TRUE(c_->InTransaction());
  EXPECT_EQ(other->OpenRecordset("select count(*) from qzmap120")->Fields(0).Integer(), 0);
  {
    Batch b(*c_);
    c_->Execute("insert into qzmap120 (mprf) values (3)");
  }
  // Rolling back the batch kept the caller's earlier work.
  EXPECT_TRUE(c_->InTransaction());
  EXPECT_EQ(Count(), 2);
  c_->Execute("rollback");
  EXPECT_EQ(Count(), 0);
}

TEST_P(StoreConformance, ASecondWriterWaitsInsteadOfFailing) {
  auto other = store::Open(location_);
  c_->BeginBatch();
  c_->Execute("insert into qzmap120 (mprf) values (1)");
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    c_->CommitBatch();
  });
  EXPECT_EQ(other->Execute("insert into qzmap120 (mprf) values (2)"), 1);
  release.join();
  EXPECT_EQ(Count(), 2);
}

// A write unit commits everything or nothing, and its batches are savepoints
// that release nothing to other connections.
TEST_P(StoreConformance, WriteUnitCommitsAllOrNothingAndHoldsTheLockThroughout) {
  for (bool commit : {true, false}) {
    c_->Execute("delete from qzmap120");
    auto other = store::Open(location_);
    other->Execute(GetParam().fail_when_locked);
    WriteLockOptions lock;
    lock.wait = std::chrono::seconds(0);
    ASSERT_TRUE(c_->BeginWriteUnit(lock));
    c_->Execute("insert into qzmap120 (mprf) values (1)");
    {
      Batch inner(*c_);
      c_->Execute("insert into qzmap120 (mprf) values (2)");
      inner.Commit();
    }
    // Released batches are still the unit's: no one else sees or writes.
    EXPECT_EQ(other->OpenRecordset("select count(*) from qzmap120")->Fields(0).Integer(), 0) << commit;
    EXPECT_NE(ErrorOf([&] { other->Execute("insert into qzmap120 (mprf) values (9)"); }), 0) << commit;
    // A second unit elsewhere does not get the lock while this one is open.
    EXPECT_FALSE(other->BeginWriteUnit(lock)) << commit;
    if (commit)
      c_->CommitBatch();
    else
      c_->RollbackBatch();
    EXPECT_FALSE(c_->InTransaction());
    EXPECT_EQ(Mprfs(), commit ? (std::vector<int64_t>{1, 2}) : std::vector<int64_t>{}) << commit;
    // The lock is free again.
    EXPECT_EQ(other->Execute("insert into qzmap120 (mprf) values (3)"), 1) << commit;
  }
}

TEST_P(StoreConformance, WriteUnitWaitsForTheLockAsLongAsItIsToldAndSaysSo) {
  const struct {
    std::string what;
    int release_after_ms;  // when the other writer lets go; -1: never
    int wait_ms;
    bool gets_lock;
  } rows[] = {{"released during the wait", 200, 3000, true}, {"held past the wait", -1, 300, false}};
  for (const auto& row : rows) {
    auto holder = store::Open(location_);
    holder->BeginBatch();
    holder->Execute("insert into qzmap120 (mprf) values (7)");
    std::thread release;
    if (row.release_after_ms >= 0)
      release = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(row.release_after_ms));
        holder->CommitBatch();
      });
    int told = 0;
    WriteLockOptions lock;
    lock.wait = std::chrono::milliseconds(row.wait_ms);
    lock.waiting = [&] { ++told; };
    const bool got = c_->BeginWriteUnit(lock);
    if (release.joinable()) release.join();
    EXPECT_EQ(got, row.gets_lock) << row.what;
    EXPECT_EQ(told, 1) << row.what;
    if (got) {
      EXPECT_TRUE(c_->InTransaction()) << row.what;
      c_->RollbackBatch();
    } else {
      EXPECT_FALSE(c_->InTransaction()) << row.what;
      holder->RollbackBatch();
    }
  }
}

TEST_P(StoreConformance, AnInterruptedUnitStopsItsStatementAndRollsBack) {
  bool stop = false;
  WriteLockOptions lock;
  lock.interrupted = [&] { return stop; };
  ASSERT_TRUE(c_->BeginWriteUnit(lock));
  c_->Execute("insert into qzmap120 (mprf) values (1)");
  stop = true;
  EXPECT_NE(ErrorOf([&] {
              c_->Execute("with recursive n(k) as (select 1 union all select k + 1 from n where k < 100000) "
                          "insert into qzmap120 (mprf) select k from n");
            }),
            0);
  c_->RollbackBatch();
  EXPECT_EQ(Count(), 0);
  // Outside the unit nothing is interrupted any more.
  EXPECT_EQ(c_->Execute("insert into qzmap120 (mprf) values (2)"), 1);
}

TEST_P(StoreConformance, ASnapshotReadsTheStoreAsItWasWhenItBegan) {
  c_->Execute("insert into qzmap120 (mprf) values (1)");
  auto writer = store::Open(location_);
  c_->BeginSnapshot();
  EXPECT_EQ(writer->Execute("insert into qzmap120 (mprf) values (2)"), 1);
  EXPECT_EQ(Mprfs(), std::vector<int64_t>{1});
  c_->CommitBatch();
  EXPECT_EQ(Mprfs(), (std::vector<int64_t>{1, 2}));
}

TEST_P(StoreConformance, RowChangesAreCountedPerTableWhileAsked) {
  c_->Execute("insert into qzddi100 (appl) values ('ACC10')");
  RowChangeCounts counts;
  c_->CountRowChanges(&counts);
  c_->Execute("insert into qzmap120 (mprf) values (1)");
  c_->Execute("insert into qzmap120 (mprf) values (2)");
  c_->Execute("update qzmap120 set vers = 'X40' where mprf = 1");
  c_->Execute("delete from qzddi100 where appl = 'ACC10'");
  c_->Execute("delete from qzmap120 where mprf = 2");
  c_->CountRowChanges(nullptr);
  c_->Execute("insert into qzmap120 (mprf) values (3)");
  ASSERT_EQ(counts.size(), 2u);
  EXPECT_EQ(counts["qzmap120"].added, 2);
  EXPECT_EQ(counts["qzmap120"].deleted, 1);
  EXPECT_EQ(counts["qzddi100"].added, 0);
  EXPECT_EQ(counts["qzddi100"].deleted, 1);
}

TEST_P(StoreConformance, AMissingTableIsToldApartFromOtherFailures) {
  const ComError missing = kestrel::testing::CaughtFrom([&] { c_->Execute("delete from qzmap999 where mprf = 1"); });
  EXPECT_TRUE(c_->IsMissingTable(missing));
  EXPECT_FALSE(c_->IsMissingTable(ComError(GetParam().unique_violation, "UNIQUE constraint failed: qzmap120.mprf")));
  EXPECT_FALSE(c_->IsMissingTable(ComError(5, "database is locked")));
}

TEST_P(StoreConformance, RecordsetWalksRowsAndReadsFields) {
  {
    auto rs = c_->OpenRecordset("select * from qzmap120 where 1=2", adOpenForwardOnly, adLockOptimistic);
    EXPECT_TRUE(rs->BOF());
    EXPECT_TRUE(rs->IsEOF());
    EXPECT_EQ(rs->FieldCount(), 8);  // the rowid fetched alongside stays unseen
    EXPECT_EQ(ErrorOf([&] { rs->Fields("mprf"); }), 9021);
  }
  c_->Execute("insert into qzmap120 (mprf, vers, rele, cust, tcpac, isms) values (7, 'X40', '007', 'ab1', NULL, '0')");
  c_->Execute("insert into qzmap120 (mprf, vers) values (8, 'X41U')");
  auto rs = c_->OpenRecordset("select * from qzmap120 order by mprf");
  EXPECT_FALSE(rs->BOF());
  ASSERT_FALSE(rs->IsEOF());
  EXPECT_EQ(rs->Fields("mprf"), Value(int64_t{7}));
  EXPECT_EQ(rs->Fields("MPRF"), rs->Fields(0));
  EXPECT_EQ(rs->Fields("rele"), Value("007"));  // text stays text
  EXPECT_TRUE(rs->Fields("tcpac").IsNull());
  EXPECT_EQ(rs->FieldName(1), "vers");
  EXPECT_EQ(ErrorOf([&] { rs->Fields("nosuch"); }), 9020);
  EXPECT_EQ(ErrorOf([&] { rs->Fields(8); }), 9020);
  rs->MoveNext();
  EXPECT_FALSE(rs->BOF());
  EXPECT_EQ(rs->Fields(1), Value("X41U"));
  rs->MoveNext();
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_FALSE(rs->BOF());
  EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), 9021);

  // An expression column is read by index.
  c_->Execute("insert into qzusr100 (usrn) values (cast('jmartin' as blob))");
  auto users = c_->OpenRecordset("select cast(usrn as text) from qzusr100");
  EXPECT_EQ(users->Fields(0), Value("jmartin"));
}

TEST_P(StoreConformance, AddNewSavesThePreviousRowAndUpdateSavesTheLast) {
  auto rs = c_->OpenRecordset("select * from qzmap120 where 1=2", adOpenForwardOnly, adLockOptimistic);
  rs->AddNew();
  rs->Put("mprf", 1);
  rs->Put("vers", "X40");
  EXPECT_EQ(rs->Fields("vers"), Value("X40"));  // the pending row reads back
  EXPECT_TRUE(rs->Fields("rele").IsNull());
  rs->AddNew();  // saves row 1
  EXPECT_EQ(Count(), 1);
  rs->Put("mprf", 2);
  rs->AddNew();  // saves row 2
  rs->Put("mprf", 3);
  rs->Update();  // saves row 3
  EXPECT_EQ(Count(), 3);
  // The saved row stays current: a further change goes to the same row.
  rs->Put("vers", "X42U");
  rs->Update();
  EXPECT_EQ(Count(" where mprf = 3 and vers = 'X42U'"), 1);
  EXPECT_EQ(Count(), 3);
  // A row being built when the recordset goes away is not saved.
  rs->AddNew();
  rs->Put("mprf", 4);
  rs.reset();
  EXPECT_EQ(Count(" where mprf = 4"), 0);
  // The recordset's statement may carry conditions; the table is its one table.
  auto lib = c_->OpenRecordset("select * from qzmap120 where mprf = 77 and vers='X40'");
  EXPECT_EQ(lib->TargetTable(), "qzmap120");
  lib->AddNew();
  lib->Put("mprf", 77);
  lib->Update();
  EXPECT_EQ(Count(" where mprf = 77"), 1);
}

// A loader looks its columns up once and puts by position, row after row,
// not always the same columns: a column one row put is NULL in the next row
// that leaves it out, and every row keeps its own values.
TEST_P(StoreConformance, RowsAddedByPositionWithChangingColumns) {
  auto rs = c_->OpenRecordset("select * from qzmap120 where 1=2", adOpenForwardOnly, adLockOptimistic);
  const int mprf = rs->IndexOf("MPRF");  // without regard to case
  const int vers = rs->IndexOf("vers");
  const int comt = rs->IndexOf("comt");
  EXPECT_EQ(rs->FieldName(vers), "vers");
  EXPECT_EQ(ErrorOf([&] { rs->IndexOf("nosuch"); }), 9020);

  const std::string long_text(300, 'L');
  rs->AddNew();
  rs->Put(mprf, 1);
  rs->Put(vers, long_text);
  rs->Put(comt, "first");
  rs->AddNew();
  rs->Put(mprf, 2);
  rs->Put(vers, "Y");
  EXPECT_TRUE(rs->Fields(comt).IsNull());  // nothing left over from row 1
  rs->AddNew();
  rs->Put(mprf, 3);
  rs->Put(vers, 7);  // an integer where the row before put a text
  rs->Put(comt, "third");
  rs->Update();
  rs->Put(comt, "changed");  // the saved row stays current
  rs->Update();
  rs->AddNew();
  rs->Put("mprf", 4);
  // A position outside the fields is refused; the pending row is unchanged.
  EXPECT_EQ(ErrorOf([&] { rs->Put(-1, "x"); }), 9020);
  EXPECT_EQ(ErrorOf([&] { rs->Put(rs->FieldCount(), "x"); }), 9020);
  EXPECT_EQ(rs->Fields(mprf), Value(4));
  rs->Update();
  rs.reset();

  auto back = c_->OpenRecordset("select mprf, vers, comt from qzmap120 order by mprf");
  EXPECT_EQ(back->GetString(-1, "|", "\n"), "1|" + long_text + "|first\n2|Y|\n3|7|changed\n4||\n");
}

TEST_P(StoreConformance, UpdateChangesTheFoundRowOnly) {
  // Two rows alike in every column: only the rowid tells them apart.
  c_->Execute("insert into qzmap120 (mprf, vers, comt) values (5, 'X40', 'old')");
  c_->Execute("insert into qzmap120 (mprf, vers, comt) values (5, 'X40', 'old')");
  auto rs = c_->OpenRecordset("select * from qzmap120 where mprf = 5", adOpenDynamic, adLockOptimistic);
  ASSERT_FALSE(rs->IsEOF());
  rs->Put("comt", "new");
  EXPECT_EQ(rs->Fields("comt"), Value("new"));
  rs->Update();
  rs.reset();
  EXPECT_EQ(Count(" where comt = 'new'"), 1);
  EXPECT_EQ(Count(" where comt = 'old'"), 1);

  // MoveNext saves a changed row before moving on.
  auto all = c_->OpenRecordset("select * from qzmap120 where mprf = 5");
  while (!all->IsEOF()) {
    all->Put("isms", "1");
    all->MoveNext();
  }
  EXPECT_EQ(Count(" where isms = '1'"), 2);
}

TEST_P(StoreConformance, RowsCannotBeAddedOrChangedWithoutOneTable) {
  c_->Execute("insert into qzmap120 (mprf) values (1)");
  c_->Execute("insert into qzddi100 (appl, extn) values ('APB', 0)");
  auto both = c_->OpenRecordset("select * from qzmap120, qzddi100");
  EXPECT_EQ(ErrorOf([&] { both->AddNew(); }), 9022);
  // A sub-select does not count as a second table.
  EXPECT_EQ(c_->OpenRecordset("select * from qzmap120 where mprf in (select extn from qzddi100) ")->TargetTable(), "qzmap120");
  // A found row of a statement without "*" has no rowid to change it by.
  auto levl = c_->OpenRecordset("select mprf from qzmap120");
  levl->Put("mprf", 2);
  EXPECT_EQ(ErrorOf([&] { levl->Update(); }), 9022);
  EXPECT_EQ(Count(" where mprf = 1"), 1);
}

TEST_P(StoreConformance, ValuesKeepTheirForms) {
  auto rs = c_->OpenRecordset("select * from qzmap120 where 1=2");
  rs->AddNew();
  rs->Put("mprf", int64_t{40000});
  rs->Put("vers", 2.5);        // a double into a text column
  rs->Put("rele", 3.0);        // a whole double: no ".0"
  rs->Put("cust", 0.1 + 0.2);  // shortest form that reads back equal
  rs->Put("isms", true);       // a boolean: 1
  rs->Put("tcpac", 12);        // an integer into a text column
  rs->Put("ldat", Value());    // NULL
  rs->Update();
  rs.reset();
  auto back = c_->OpenRecordset("select mprf, vers, rele, cust, isms, tcpac, ldat from qzmap120");
  EXPECT_EQ(back->Fields("mprf"), Value(int64_t{40000}));
  EXPECT_EQ(back->Fields("vers"), Value("2.5"));
  EXPECT_EQ(back->Fields("rele"), Value("3"));
  EXPECT_EQ(back->Fields("cust"), Value("0.30000000000000004"));
  EXPECT_EQ(back->Fields("isms"), Value("1"));
  EXPECT_EQ(back->Fields("tcpac"), Value("12"));
  EXPECT_TRUE(back->Fields("ldat").IsNull());

  // Bytes are bytes: control characters and 8-bit codes survive in a binary
  // column too.
  std::string name("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a" "S\xf8ren \xe9'x", 17);
  auto users = c_->OpenRecordset("select * from qzusr100 where 1=2");
  users->AddNew();
  users->Put("usrn", name);
  users->Put("dsca", 7.0);
  users->Update();
  users.reset();
  auto u = c_->OpenRecordset("select usrn, dsca from qzusr100");
  EXPECT_EQ(u->Fields(0), Value(name));
  EXPECT_EQ(u->Fields(1), Value("7"));

  // Numbers computed by the store come back as numbers.
  auto n = c_->OpenRecordset("select 2.0 + 0.5, 6 / 2");
  EXPECT_EQ(n->Fields(0), Value(2.5));
  EXPECT_EQ(n->Fields(1), Value(int64_t{3}));
  EXPECT_EQ(n->GetString(-1, "|", "\n"), "2.5|3\n");
}

TEST_P(StoreConformance, GetStringInPiecesEqualsTheWhole) {
  {
    Batch b(*c_);
    for (int i = 1; i <= 25; ++i)
      c_->Execute("insert into qzmap120 (mprf, vers, tcpac) values (" + std::to_string(i) + ", 'X4" +
                  std::to_string(i % 10) + "', " + (i % 3 == 0 ? std::string("NULL") : "'P\xe9" "a'") + ")");
    b.Commit();
  }
  const std::string sep("\x01"), eol("\r\n");
  std::string whole = c_->OpenRecordset("select mprf, vers, tcpac from qzmap120 order by mprf")->GetString(-1, sep, eol);
  EXPECT_EQ(whole.substr(0, 30), "1\x01X41\x01P\xe9" "a\r\n2\x01X42\x01P\xe9" "a\r\n3\x01X43\x01\r\n");

  auto rs = c_->OpenRecordset("select mprf, vers, tcpac from qzmap120 order by mprf");
  std::string pieces;
  std::vector<long> sizes;
  while (!rs->IsEOF()) sizes.push_back(rs->AppendString(pieces, 10, sep, eol));
  EXPECT_EQ(sizes, (std::vector<long>{10, 10, 5}));
  EXPECT_EQ(pieces, whole);
  EXPECT_EQ(rs->GetString(10, sep, eol), "");

  // The pieces start at the current row.
  auto from3 = c_->OpenRecordset("select mprf from qzmap120 where mprf <= 4 order by mprf");
  from3->MoveNext();
  from3->MoveNext();
  EXPECT_EQ(from3->GetString(-1, ",", ";"), "3;4;");
}

TEST_P(StoreConformance, BoundValuesFindTheirRows) {
  c_->Execute("insert into qzmap120 (mprf, vers, rele) values (7, 'X40', '007'), (7, 'O''Brien', '7'), "
              "(8, 'X40', '007')");
  const std::string p1 = c_->Placeholder(1), p2 = c_->Placeholder(2), p3 = c_->Placeholder(3);
  auto find = [&](int64_t mprf, std::string vers, std::string rele) {
    Query q{"select * from qzmap120 where mprf=" + p1 + " and vers=" + p2 + " and rele=" + p3, {Value(mprf), Value(vers), Value(rele)}};
    auto rs = c_->OpenRecordset(q);
    std::vector<int64_t> found;
    for (; !rs->IsEOF(); rs->MoveNext()) found.push_back(rs->Fields("mprf").Integer());
    return found;
  };
  EXPECT_EQ(find(7, "X40", "007"), std::vector<int64_t>{7});
  // A quote is data; a text compares as text ('7' is not '007'), a number as a number.
  EXPECT_EQ(find(7, "O'Brien", "7"), std::vector<int64_t>{7});
  EXPECT_TRUE(find(7, "O'Brien", "007").empty());
  EXPECT_EQ(find(8, "X40", "007"), std::vector<int64_t>{8});

  // A found row of a bound select can be changed like any other.
  {
    auto rs = c_->OpenRecordset(Query{"select * from qzmap120 where vers=" + p1, {Value("O'Brien")}});
    ASSERT_FALSE(rs->IsEOF());
    rs->Put("comt", Value("seen"));
    rs->Update();
  }
  EXPECT_EQ(Count(" where comt = 'seen' and vers = 'O''Brien'"), 1);
  EXPECT_EQ(Count(" where comt = 'seen'"), 1);

  // Values and places must pair up.
  EXPECT_EQ(ErrorOf([&] { c_->OpenRecordset(Query{"select * from qzmap120 where mprf=" + p1 + " and vers=" + p2, {Value(7)}}); }),
            9001);
  EXPECT_EQ(ErrorOf([&] { c_->OpenRecordset(Query{"select * from qzmap120", {Value(7)}}); }), 9001);
}

TEST_P(StoreConformance, ColumnsAreLearntAgainWhenTheSchemaChanges) {
  c_->ExecuteScript("create table grows (a text); insert into grows values ('x');");
  const std::string select = "select * from grows";
  EXPECT_EQ(c_->OpenRecordset(select)->FieldCount(), 1);
  c_->ExecuteScript("alter table grows add column b text default 'y';");
  for (int round = 0; round < 2; ++round) {
    auto rs = c_->OpenRecordset(select);
    ASSERT_EQ(rs->FieldCount(), 2) << "round " << round;
    EXPECT_EQ(rs->FieldName(1), "b");
    EXPECT_EQ(rs->Fields("b"), Value("y"));
  }
}

// A host releases what it holds in any order: the connection may go before
// its recordsets and statements, which must go on working until they go.
TEST_P(StoreConformance, WhatTheConnectionHandsOutOutlivesItInAnyOrder) {
  enum Holder { kConnection, kReader, kAdder, kStatement };
  std::array<Holder, 4> order = {kConnection, kReader, kAdder, kStatement};
  int64_t next = 100;
  do {
    SCOPED_TRACE(::testing::PrintToString(order));
    auto c = store::Open(location_);
    c->Execute("delete from qzmap120");
    c->Execute("insert into qzmap120 (mprf, vers) values (1, 'X40')");
    c->Execute("insert into qzmap120 (mprf, vers) values (2, 'X41')");
    auto reader = c->OpenRecordset("select mprf, vers from qzmap120 order by mprf");
    auto adder = c->OpenRecordset("select * from qzmap120 where 1=2");
    auto statement = c->Prepare("insert into qzmap120 (mprf) values (" + c->Placeholder(1) + ")");
    std::vector<int64_t> expected = {1, 2};
    for (Holder h : order) {
      switch (h) {
        case kConnection: c.reset(); break;
        case kReader:
          EXPECT_EQ(reader->Fields(0), Value(int64_t{1}));
          reader->MoveNext();
          EXPECT_EQ(reader->Fields("vers"), Value("X41"));
          reader.reset();
          break;
        case kAdder:
          adder->AddNew();
          adder->Put("mprf", next);
          adder->Update();
          expected.push_back(next++);
          adder.reset();
          break;
        case kStatement:
          statement->Bind(1, Value(next));
          EXPECT_EQ(statement->Run(), 1);
          expected.push_back(next++);
          statement.reset();
          break;
      }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Mprfs(), expected);
  } while (std::next_permutation(order.begin(), order.end()));
}

// Every byte from 1 to 255 goes in and comes back unchanged, through every way
// a value travels: put into a recordset, bound, quoted into the text.
TEST_P(StoreConformance, EveryByteFrom1To255RoundTrips) {
  std::string bytes;
  for (int b = 1; b <= 255; ++b) bytes += static_cast<char>(b);
  auto rs = c_->OpenRecordset("select * from qzusr100 where 1=2");
  rs->AddNew();
  rs->Put("usrn", bytes);
  rs->Put("dsca", bytes);
  rs->Update();
  rs.reset();
  auto st = c_->Prepare("insert into qzmap120 (mprf, comt) values (1, " + c_->Placeholder(1) + ")");
  st->Bind(1, Value(bytes));
  st->Run();
  c_->Execute("insert into qzmap120 (mprf, comt) values (2, " + c_->Quote(bytes) + ")");

  const std::pair<std::string, int> cases[] = {{"select usrn from qzusr100", 0},
                                                {"select dsca from qzusr100", 0},
                                                {"select mprf, comt from qzmap120 where mprf = 1", 1},
                                                {"select mprf, comt from qzmap120 where mprf = 2", 1}};
  for (const auto& [select, column] : cases) {
    auto back = c_->OpenRecordset(select);
    ASSERT_FALSE(back->IsEOF()) << select;
    EXPECT_EQ(back->Fields(column), Value(bytes)) << select;
    std::string_view view;
    ASSERT_TRUE(back->ViewText(column, view)) << select;
    EXPECT_EQ(view, bytes) << select;
    std::string appended;
    back->AppendField(appended, column);
    EXPECT_EQ(appended, bytes) << select;
  }
  // A bound text finds the stored one byte for byte.
  auto found = c_->OpenRecordset(Query{"select mprf from qzmap120 where comt = " + c_->Placeholder(1) + " order by mprf",
                                       {Value(bytes)}});
  EXPECT_EQ(found->GetString(-1, ",", ";"), "1;2;");
}

// A prepared statement reads the rows it steps to.
TEST_P(StoreConformance, PreparedStatementsReadAndRunAgain) {
  auto insert = c_->Prepare(InsertMprf());
  for (int64_t mprf : {30, 10, 20}) {
    insert->Bind(1, Value(mprf));
    EXPECT_EQ(insert->Run(), 1);
  }
  insert.reset();
  auto read = c_->Prepare("select mprf, 'X' || mprf from qzmap120 where mprf >= " + c_->Placeholder(1) +
                          " order by mprf");
  EXPECT_EQ(read->ColumnCount(), 2);
  for (int64_t from : {20, 40, 10}) {
    read->Bind(1, Value(from));
    std::vector<std::string> rows;
    while (read->Step()) rows.push_back(read->Column(0).Text() + "=" + read->Column(1).Text());
    read->Reset();
    std::vector<std::string> expected;
    for (int64_t m : {10, 20, 30})
      if (m >= from) expected.push_back(std::to_string(m) + "=X" + std::to_string(m));
    EXPECT_EQ(rows, expected) << "from " << from;
  }
  // More than one statement, or a refused one, runs nothing.
  EXPECT_EQ(ErrorOf([&] { c_->Prepare(InsertMprf() + "; delete from qzmap120"); }), Number(Ours::StatementNotSingle));
  EXPECT_EQ(ErrorOf([&] { c_->Prepare("select * from nosuch"); }), GetParam().no_such_table);
  EXPECT_EQ(Mprfs(), (std::vector<int64_t>{10, 20, 30}));
}

}  // namespace
}  // namespace kestrel::store
