// What every store backend must do, written against the store interface
// only: self-committing statements, batches, write units and savepoints,
// reading, adding and changing rows, value forms, bytes 1 to 255, bound
// values, GetString pieces, and what the connection hands out outliving it.
// Runs once per backend (backends.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
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
using Ints = std::vector<int64_t>;

class StoreConformance : public ::testing::TestWithParam<StoreBackend> {
 protected:
  void SetUp() override {
    if (const std::string why = GetParam().unavailable(); !why.empty()) GTEST_SKIP() << why;
    location_ = GetParam().location(dir_.path());
    c_ = store::Create(location_);
    c_->ExecuteScript(
        "create table qzmap120 (mprf integer, vers text, rele text, cust text, tcpac text, isms text, "
        "ldat text, comt text);"
        "create table qzusr100 (usrn blob, dsca text);"
        "create table qzddi100 (appl text, dsca text, extn integer);");
  }
  int64_t Count(const std::string& where = "", Connection* on = nullptr) {
    return (on ? on : c_.get())->OpenRecordset("select count(*) from qzmap120" + where)->Fields(0).Integer();
  }
  void Insert(int64_t mprf, Connection* on = nullptr) {
    (on ? on : c_.get())->Execute("insert into qzmap120 (mprf) values (" + std::to_string(mprf) + ")");
  }
  Ints Mprfs() {
    Ints out;
    for (auto rs = c_->OpenRecordset("select mprf from qzmap120 order by mprf"); !rs->IsEOF(); rs->MoveNext())
      out.push_back(rs->Fields(0).Integer());
    return out;
  }

  TempFolder dir_;
  std::string location_;
  std::shared_ptr<Connection> c_;
};

INSTANTIATE_TEST_SUITE_P(Backends, StoreConformance, ::testing::ValuesIn(kestrel::testing::AllStoreBackends()), kestrel::testing::BackendName);

// Statements commit by themselves; a batch commits or rolls back its own work;
// nested, or under the caller's transaction, it is a savepoint.
TEST_P(StoreConformance, StatementsBatchesAndSavepoints) {
  auto other = store::Open(location_);
  EXPECT_EQ(c_->Execute("insert into qzmap120 (mprf, vers) values (1, 'X40')"), 1);
  EXPECT_FALSE(c_->InTransaction());
  EXPECT_EQ(Count("", other.get()), 1);
  EXPECT_EQ(c_->Execute("update qzmap120 set vers = 'X41' where mprf = 99;\r\n\t "), 0);  // blanks after it are fine
  EXPECT_EQ(ErrorOf([&] { c_->Execute("delete from qzmap120; delete from qzddi100"); }), 9023);
  {
    Batch b(*c_);
    EXPECT_TRUE(c_->InTransaction());
    Insert(2);
    b.Commit();
  }
  { Batch left_open(*c_); Insert(3); }
  {
    Batch outer(*c_);
    Insert(4);
    { Batch inner(*c_); Insert(5); }
    outer.Commit();
  }
  EXPECT_FALSE(c_->InTransaction());
  EXPECT_EQ(Mprfs(), (Ints{1, 2, 4}));
  c_->Execute("begin");
  Insert(6);
  { Batch b(*c_); Insert(7); b.Commit(); }
  { Batch b(*c_); Insert(8); }
  EXPECT_TRUE(c_->InTransaction());  // neither batch ended the caller's transaction
  EXPECT_EQ(Count("", other.get()), 3);
  EXPECT_EQ(Mprfs(), (Ints{1, 2, 4, 6, 7}));
  c_->Execute("rollback");
  EXPECT_EQ(Mprfs(), (Ints{1, 2, 4}));
}

// A write unit commits everything or nothing, and its batches are savepoints
// that release nothing to other connections; plain writers wait for it.
TEST_P(StoreConformance, WriteUnitCommitsAllOrNothingAndHoldsTheLockThroughout) {
  for (bool commit : {true, false}) {
    SCOPED_TRACE(commit);
    c_->Execute("delete from qzmap120");
    auto other = store::Open(location_);
    other->Execute(GetParam().fail_when_locked);
    WriteLockOptions lock;
    lock.wait = std::chrono::seconds(0);
    ASSERT_TRUE(c_->BeginWriteUnit(lock));
    Insert(1);
    { Batch inner(*c_); Insert(2); inner.Commit(); }
    EXPECT_EQ(Count("", other.get()), 0);
    EXPECT_NE(ErrorOf([&] { Insert(9, other.get()); }), 0);
    EXPECT_FALSE(other->BeginWriteUnit(lock));
    commit ? c_->CommitBatch() : c_->RollbackBatch();
    EXPECT_FALSE(c_->InTransaction());
    EXPECT_EQ(Mprfs(), commit ? (Ints{1, 2}) : Ints{});
    EXPECT_EQ(other->Execute("insert into qzmap120 (mprf) values (3)"), 1);  // the lock is free again
  }
  auto waiting = store::Open(location_);
  c_->BeginBatch();
  std::thread release([&] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); c_->CommitBatch(); });
  EXPECT_EQ(waiting->Execute("insert into qzmap120 (mprf) values (4)"), 1);
  release.join();
}

TEST_P(StoreConformance, WriteUnitWaitsForTheLockAsLongAsItIsToldAndSaysSo) {
  const struct {
    int release_after_ms;  // when the other writer lets go; -1: never
    int wait_ms;
    bool gets_lock;
  } rows[] = {{200, 3000, true}, {-1, 300, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.wait_ms);
    auto holder = store::Open(location_);
    holder->BeginBatch();
    Insert(7, holder.get());
    std::thread release;
    if (row.release_after_ms >= 0)
      release = std::thread([&] { std::this_thread::sleep_for(std::chrono::milliseconds(row.release_after_ms)); holder->CommitBatch(); });
    int told = 0;
    WriteLockOptions lock;
    lock.wait = std::chrono::milliseconds(row.wait_ms);
    lock.waiting = [&] { ++told; };
    const bool got = c_->BeginWriteUnit(lock);
    if (release.joinable()) release.join();
    EXPECT_EQ(got, row.gets_lock);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(c_->InTransaction(), got);
    got ? c_->RollbackBatch() : holder->RollbackBatch();
  }
}

TEST_P(StoreConformance, AnInterruptedUnitStopsItsStatementAndRollsBack) {
  bool stop = false;
  WriteLockOptions lock;
  lock.interrupted = [&] { return stop; };
  ASSERT_TRUE(c_->BeginWriteUnit(lock));
  Insert(1);
  stop = true;
  EXPECT_NE(ErrorOf([&] {
              c_->Execute("with recursive n(k) as (select 1 union all select k + 1 from n where k < 100000) "
                          "insert into qzmap120 (mprf) select k from n");
            }), 0);
  c_->RollbackBatch();
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(c_->Execute("insert into qzmap120 (mprf) values (2)"), 1);  // outside the unit nothing is interrupted
}

// A snapshot reads the store as it was when it began; row changes are
// counted per table while asked; a missing table is told apart.
TEST_P(StoreConformance, SnapshotsChangeCountsAndMissingTables) {
  Insert(1);
  auto writer = store::Open(location_);
  c_->BeginSnapshot();
  Insert(2, writer.get());
  EXPECT_EQ(Mprfs(), Ints{1});
  c_->CommitBatch();
  EXPECT_EQ(Mprfs(), (Ints{1, 2}));

  c_->Execute("insert into qzddi100 (appl) values ('ACC10')");
  RowChangeCounts counts;
  c_->CountRowChanges(&counts);
  Insert(3);
  Insert(4);
  c_->Execute("update qzmap120 set vers = 'X40' where mprf = 1");
  c_->Execute("delete from qzddi100 where appl = 'ACC10'");
  c_->Execute("delete from qzmap120 where mprf = 2");
  c_->CountRowChanges(nullptr);
  Insert(5);
  ASSERT_EQ(counts.size(), 2u);
  EXPECT_EQ(counts["qzmap120"].added, 2);
  EXPECT_EQ(counts["qzmap120"].deleted, 1);
  EXPECT_EQ(counts["qzddi100"].added, 0);
  EXPECT_EQ(counts["qzddi100"].deleted, 1);

  const ComError missing = kestrel::testing::CaughtFrom([&] { c_->Execute("delete from qzmap999 where mprf = 1"); });
  EXPECT_EQ(missing.number(), GetParam().no_such_table);
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
  for (const auto& [name, value] : std::vector<std::pair<std::string, Value>>{{"mprf", int64_t{7}}, {"MPRF", int64_t{7}}, {"rele", "007"}, {"tcpac", Value()}})
    EXPECT_EQ(rs->Fields(name), value) << name;  // text stays text, NULL is NULL
  EXPECT_EQ(rs->FieldName(1), "vers");
  EXPECT_EQ(ErrorOf([&] { rs->Fields("nosuch"); }), 9020);
  EXPECT_EQ(ErrorOf([&] { rs->Fields(8); }), 9020);
  rs->MoveNext();
  EXPECT_FALSE(rs->BOF());
  EXPECT_EQ(rs->Fields(1), Value("X41U"));
  rs->MoveNext();
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), 9021);
  c_->ExecuteScript("alter table qzddi100 add column aver text default 'y';");  // columns are learnt again
  EXPECT_EQ(c_->OpenRecordset("select * from qzddi100")->FieldName(3), "aver");
}

// AddNew saves the row before it (unless nothing was put), Update the last; the saved row stays
// current; a row being built when the recordset goes is not saved. A loader
// puts by position, not always the same columns: a column one row put is
// NULL in the next row that leaves it out.
TEST_P(StoreConformance, RowsAreAddedAndChanged) {
  auto rs = c_->OpenRecordset("select * from qzmap120 where mprf = 77 and vers='X40'", adOpenForwardOnly, adLockOptimistic);
  EXPECT_EQ(rs->TargetTable(), "qzmap120");
  const int mprf = rs->IndexOf("MPRF"), vers = rs->IndexOf("vers"), comt = rs->IndexOf("comt");
  EXPECT_EQ(ErrorOf([&] { rs->IndexOf("nosuch"); }), 9020);
  const std::string long_text(300, 'L');
  auto add = [&](std::vector<std::pair<int, Value>> cells) {
    rs->AddNew();
    for (const auto& [at, value] : cells) rs->Put(at, value);
  };
  add({{mprf, 1}, {vers, long_text}, {comt, "first"}});
  EXPECT_EQ(rs->Fields("comt"), Value("first"));  // the pending row reads back
  EXPECT_TRUE(rs->Fields("rele").IsNull());
  add({{mprf, 2}, {vers, "Y"}});
  EXPECT_EQ(Count(), 1);
  EXPECT_TRUE(rs->Fields(comt).IsNull());
  add({{mprf, 3}, {vers, 7}, {comt, "third"}});  // an integer where the row before put a text
  rs->Update();
  rs->Put(comt, "changed");
  rs->Update();
  add({{mprf, 4}});
  EXPECT_EQ(ErrorOf([&] { rs->Put(-1, "x"); }), 9020);
  EXPECT_EQ(ErrorOf([&] { rs->Put(rs->FieldCount(), "x"); }), 9020);
  EXPECT_EQ(rs->Fields(mprf), Value(4));
  rs->Update();
  rs->AddNew();  // a row with nothing put is never saved
  add({{mprf, 5}});
  rs.reset();
  EXPECT_EQ(c_->OpenRecordset("select mprf, vers, comt from qzmap120 order by mprf")->GetString(-1, "|", "\n"),
            "1|" + long_text + "|first\n2|Y|\n3|7|changed\n4||\n");

  // Two rows alike in every column: only the rowid tells them apart.
  c_->Execute("insert into qzmap120 (mprf, comt) values (6, 'old'), (6, 'old')");
  auto found = c_->OpenRecordset("select * from qzmap120 where mprf = 6", adOpenDynamic, adLockOptimistic);
  found->Put("comt", "new");
  found->Update();
  found.reset();
  EXPECT_EQ(Count(" where comt = 'new'"), 1);
  for (auto all = c_->OpenRecordset("select * from qzmap120 where mprf = 6"); !all->IsEOF(); all->MoveNext())
    all->Put("isms", "1");  // MoveNext saves a changed row
  EXPECT_EQ(Count(" where isms = '1'"), 2);

  // Rows cannot be added or changed without one table (a sub-select does not count).
  c_->Execute("insert into qzddi100 (appl, extn) values ('APB', 1)");
  EXPECT_EQ(ErrorOf([&] { c_->OpenRecordset("select * from qzmap120, qzddi100")->AddNew(); }), 9022);
  EXPECT_EQ(c_->OpenRecordset("select * from qzmap120 where mprf in (select extn from qzddi100) ")->TargetTable(), "qzmap120");
  auto levl = c_->OpenRecordset("select mprf from qzmap120 where mprf = 1");
  levl->Put("mprf", 2);
  EXPECT_EQ(ErrorOf([&] { levl->Update(); }), 9022);
  EXPECT_EQ(Count(" where mprf = 1"), 1);
}

TEST_P(StoreConformance, ValuesKeepTheirForms) {
  auto rs = c_->OpenRecordset("select * from qzmap120 where 1=2");
  rs->AddNew();
  const std::pair<std::string, Value> put[] = {{"mprf", int64_t{40000}}, {"vers", 2.5}, {"rele", 3.0}, {"cust", 0.1 + 0.2},
                                               {"isms", true}, {"tcpac", 12}, {"ldat", Value()}};
  for (const auto& [column, value] : put) rs->Put(column, value);
  rs->Update();
  rs.reset();
  // A whole double has no ".0", any other its shortest form that reads back equal; a boolean is 1.
  EXPECT_EQ(c_->OpenRecordset("select mprf, vers, rele, cust, isms, tcpac, ldat from qzmap120")->GetString(-1, "|", ""),
            "40000|2.5|3|0.30000000000000004|1|12|");
  EXPECT_EQ(c_->OpenRecordset("select mprf from qzmap120")->Fields(0), Value(int64_t{40000}));
  EXPECT_TRUE(c_->OpenRecordset("select ldat from qzmap120")->Fields(0).IsNull());
  auto n = c_->OpenRecordset("select 2.0 + 0.5, 6 / 2");  // numbers computed by the store stay numbers
  EXPECT_EQ(n->Fields(0), Value(2.5));
  EXPECT_EQ(n->Fields(1), Value(int64_t{3}));
}

TEST_P(StoreConformance, GetStringInPiecesEqualsTheWhole) {
  {
    Batch b(*c_);
    for (int i = 1; i <= 25; ++i)
      c_->Execute("insert into qzmap120 (mprf, vers, tcpac) values (" + std::to_string(i) + ", 'X4" +
                  std::to_string(i % 10) + "', " + (i % 3 == 0 ? std::string("NULL") : "'P\xe9" "a'") + ")");
    b.Commit();
  }
  const std::string sep("\x01"), eol("\r\n"), select("select mprf, vers, tcpac from qzmap120 order by mprf");
  std::string whole = c_->OpenRecordset(select)->GetString(-1, sep, eol);
  EXPECT_EQ(whole.substr(0, 30), "1\x01X41\x01P\xe9" "a\r\n2\x01X42\x01P\xe9" "a\r\n3\x01X43\x01\r\n");
  auto rs = c_->OpenRecordset(select);
  rs->MoveNext();
  EXPECT_EQ(rs->GetString(2, ",", ";"), "2,X42,P\xe9" "a;3,X43,;");  // from the current row on
  std::string pieces = whole.substr(0, 30);
  Ints sizes;
  while (!rs->IsEOF()) sizes.push_back(rs->AppendString(pieces, 10, sep, eol));
  EXPECT_EQ(sizes, (Ints{10, 10, 2}));
  EXPECT_EQ(pieces, whole);
  EXPECT_EQ(rs->GetString(10, sep, eol), "");
}

// Bound values find their rows: a quote is data, a text compares as text
// ('7' is not '007'); values and places must pair up.
TEST_P(StoreConformance, BoundValuesFindTheirRows) {
  c_->Execute("insert into qzmap120 (mprf, vers, rele) values (7, 'X40', '007'), (7, 'O''Brien', '7'), (8, 'X40', '007')");
  const std::string p1 = c_->Placeholder(1), p2 = c_->Placeholder(2), p3 = c_->Placeholder(3);
  const std::string where = "select * from qzmap120 where mprf=" + p1 + " and vers=" + p2 + " and rele=" + p3;
  const struct { int64_t mprf; std::string vers, rele; Ints found; } rows[] = {
      {7, "X40", "007", {7}}, {7, "O'Brien", "7", {7}}, {7, "O'Brien", "007", {}}, {8, "X40", "007", {8}}};
  for (const auto& row : rows) {
    Ints found;
    for (auto rs = c_->OpenRecordset(Query{where, {Value(row.mprf), Value(row.vers), Value(row.rele)}}); !rs->IsEOF(); rs->MoveNext())
      found.push_back(rs->Fields("mprf").Integer());
    EXPECT_EQ(found, row.found) << row.vers << " " << row.rele;
  }
  {
    auto rs = c_->OpenRecordset(Query{"select * from qzmap120 where vers=" + p1, {Value("O'Brien")}});
    rs->Put("comt", Value("seen"));
    rs->Update();
  }
  EXPECT_EQ(Count(" where comt = 'seen' and vers = 'O''Brien'"), 1);
  EXPECT_EQ(Count(" where comt = 'seen'"), 1);
  EXPECT_EQ(ErrorOf([&] { c_->OpenRecordset(Query{"select * from qzmap120 where mprf=" + p1 + " and vers=" + p2, {Value(7)}}); }), 9001);
  EXPECT_EQ(ErrorOf([&] { c_->OpenRecordset(Query{"select * from qzmap120", {Value(7)}}); }), 9001);
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
    c->Execute("insert into qzmap120 (mprf, vers) values (1, 'X40'), (2, 'X41')");
    auto reader = c->OpenRecordset("select mprf, vers from qzmap120 order by mprf");
    auto adder = c->OpenRecordset("select * from qzmap120 where 1=2");
    auto statement = c->Prepare("insert into qzmap120 (mprf) values (" + c->Placeholder(1) + ")");
    Ints expected = {1, 2};
    for (Holder h : order) {
      switch (h) {
        case kConnection: c.reset(); break;
        case kReader:
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
// a value travels: put into a recordset (a binary and a text column), bound,
// quoted into the text; and a bound text finds it.
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
  for (const std::string select : {"select usrn from qzusr100", "select dsca from qzusr100",
                                   "select comt from qzmap120 where mprf = 1", "select comt from qzmap120 where mprf = 2"}) {
    SCOPED_TRACE(select);
    auto back = c_->OpenRecordset(select);
    EXPECT_EQ(back->Fields(0), Value(bytes));
    std::string_view view;
    ASSERT_TRUE(back->ViewText(0, view));
    EXPECT_EQ(view, bytes);
    std::string appended;
    back->AppendField(appended, 0);
    EXPECT_EQ(appended, bytes);
  }
  auto found = c_->OpenRecordset(Query{"select mprf from qzmap120 where comt = " + c_->Placeholder(1) + " order by mprf", {Value(bytes)}});
  EXPECT_EQ(found->GetString(-1, ",", ";"), "1;2;");
}

// A prepared statement runs again with new values and reads the rows it
// steps to; more than one statement, or a refused one, runs nothing.
TEST_P(StoreConformance, PreparedStatementsReadAndRunAgain) {
  auto insert = c_->Prepare("insert into qzmap120 (mprf) values (" + c_->Placeholder(1) + ")");
  for (int64_t mprf : {30, 10, 20}) {
    insert->Bind(1, Value(mprf));
    EXPECT_EQ(insert->Run(), 1);
  }
  insert.reset();
  auto read = c_->Prepare("select mprf, 'X' || mprf from qzmap120 where mprf >= " + c_->Placeholder(1) + " order by mprf");
  EXPECT_EQ(read->ColumnCount(), 2);
  for (const auto& [from, want] : std::vector<std::pair<int64_t, std::string>>{{20, "20=X20 30=X30 "}, {40, ""}, {10, "10=X10 20=X20 30=X30 "}}) {
    read->Bind(1, Value(from));
    std::string rows;
    while (read->Step()) rows += read->Column(0).Text() + "=" + read->Column(1).Text() + " ";
    read->Reset();
    EXPECT_EQ(rows, want) << "from " << from;
  }
  EXPECT_EQ(ErrorOf([&] { c_->Prepare("insert into qzmap120 (mprf) values (1); delete from qzmap120"); }), Number(Ours::StatementNotSingle));
  EXPECT_EQ(ErrorOf([&] { c_->Prepare("select * from nosuch"); }), GetParam().no_such_table);
  EXPECT_EQ(Mprfs(), (Ints{10, 20, 30}));
}

// A binary column takes every byte 1 to 255 from a bound value, bound as
// text or as binary.
TEST_P(StoreConformance, EveryByteFrom1To255ReachesABinaryColumnBound) {
  std::string bytes;
  for (int b = 1; b <= 255; ++b) bytes += static_cast<char>(b);
  const struct {
    std::string dsca;
    bool as_blob;
  } rows[] = {{"bound as text", false}, {"bound as binary", true}};
  auto insert = c_->Prepare("insert into qzusr100 (usrn, dsca) values (" + c_->Placeholder(1) + ", " + c_->Placeholder(2) + ")");
  for (const auto& row : rows) {
    insert->Bind(1, Value(bytes), row.as_blob);
    insert->Bind(2, Value(row.dsca));
    EXPECT_EQ(insert->Run(), 1) << row.dsca;
  }
  insert.reset();
  auto found = c_->OpenRecordset("select usrn, dsca from qzusr100 order by dsca");
  std::vector<std::string> names;
  for (; !found->IsEOF(); found->MoveNext()) {
    EXPECT_EQ(found->Fields("usrn"), Value(bytes)) << found->Fields("dsca").Text();
    names.push_back(found->Fields("dsca").Text());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"bound as binary", "bound as text"}));
}

// An interruption that comes while a statement runs ends that statement
// with the store's "interrupted" failure; the unit rolls back whole.
TEST_P(StoreConformance, AnInterruptionEndsTheStatementRunning) {
  std::atomic<bool> stop{false};
  WriteLockOptions lock;
  lock.interrupted = [&] { return stop.load(); };
  ASSERT_TRUE(c_->BeginWriteUnit(lock));
  Insert(1);
  // Far more rows than any store counts before the interruption comes.
  std::thread interrupter([&] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); stop = true; });
  const ComError e = kestrel::testing::CaughtFrom([&] {
    c_->OpenRecordset("with recursive n(k) as (select 1 union all select k + 1 from n where k < 2000000000) "
                      "select count(*) from n");
  });
  interrupter.join();
  EXPECT_EQ(e.number(), Number(Ours::StoreFailure)) << e.description();
  c_->RollbackBatch();
  EXPECT_EQ(Count(), 0);
}

// A statement the store refuses inside a transaction fails alone: what the
// transaction did before and does after it is committed with it (the import
// goes on past a table a store lacks).
TEST_P(StoreConformance, ARefusedStatementLeavesTheTransactionAsItWas) {
  c_->Execute("create unique index qzddi100_appl on qzddi100 (appl)");
  c_->Execute("insert into qzddi100 (appl, extn) values ('LGA', 0)");
  const struct {
    std::string name;
    std::function<void()> refused;
  } rows[] = {
      {"a delete from a missing table", [&] { c_->Execute("delete from qzmap999 where mprf = 1"); }},
      {"a recordset on a missing table", [&] { c_->OpenRecordset("select * from qzmap999 where 1=2"); }},
      {"a statement prepared on a missing table", [&] { c_->Prepare("insert into qzmap999 (mprf) values (1)"); }},
      {"a second row with a unique key", [&] { c_->Execute("insert into qzddi100 (appl, extn) values ('LGA', 1)"); }},
      {"a row added through a recordset with a unique key", [&] {
         auto rs = c_->OpenRecordset("select * from qzddi100 where 1=2");
         rs->AddNew();
         rs->Put("appl", "LGA");
         rs->Update();
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    c_->Execute("delete from qzmap120");
    {
      Batch b(*c_);
      Insert(1);
      EXPECT_NE(ErrorOf(row.refused), 0);
      Insert(2);
      b.Commit();
    }
    EXPECT_FALSE(c_->InTransaction());
    EXPECT_EQ(Mprfs(), (Ints{1, 2}));
  }
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi100")->Fields(0), Value(int64_t{1}));
}

}  // namespace
}  // namespace kestrel::store
