// What every store backend must do, through the store interface only:
// self-committing statements, batches, write units and savepoints, the write
// lock, snapshots, row change counts and missing tables, rows saved in
// batches, every row of a select whatever it found before, rows read through
// alone, bound values and bytes 1 to 255, prepared statements run again and
// outliving the connection, an interruption, a statement refused inside a
// transaction. Writes: conformance_writes_test.cpp. Runs once per backend.
#include "store/conformance.h"

namespace kestrel::store::conformance {
namespace {

INSTANTIATE_TEST_SUITE_P(Backends, StoreConformance, ::testing::ValuesIn(kestrel::testing::AllStoreBackends()),
                         kestrel::testing::BackendName);

// Statements commit by themselves; a batch commits or rolls back its own work;
// nested, or under the caller's transaction, it is a savepoint.
TEST_P(StoreConformance, StatementsBatchesAndSavepoints) {
  auto other = store::Open(location_);
  EXPECT_EQ(c_->Execute("insert into qzmap120 (mprf, vers) values (1, 'X40')"), 1);
  EXPECT_FALSE(c_->InTransaction());
  EXPECT_EQ(Count("", other.get()), 1);
  EXPECT_EQ(c_->Execute("update qzmap120 set vers = 'X41' where mprf = 99;\r\n\t "), 0);  // blanks after it are fine
  EXPECT_EQ(ErrorOf([&] { c_->Execute("delete from qzmap120; delete from qzddi100"); }), 9023);
  { Batch b(*c_); EXPECT_TRUE(c_->InTransaction()); Insert(2); b.Commit(); }
  { Batch left_open(*c_); Insert(3); }
  { Batch outer(*c_); Insert(4); { Batch inner(*c_); Insert(5); } outer.Commit(); }
  EXPECT_FALSE(c_->InTransaction());
  EXPECT_EQ(Mprfs(), (Ints{1, 2, 4}));
  c_->Execute("begin");
  Insert(6);
  { Batch b(*c_); Insert(7); b.Commit(); }
  { Batch b(*c_); Insert(8); }
  EXPECT_TRUE(c_->InTransaction());  // neither batch ended the caller's transaction
  EXPECT_EQ(Count("", other.get()), 3);
  c_->Execute("rollback");
  EXPECT_EQ(Mprfs(), (Ints{1, 2, 4}));
}

// A write unit commits everything or nothing, and its batches are savepoints
// that release nothing to other connections; other writers are refused while
// it holds the lock.
TEST_P(StoreConformance, WriteUnitsHoldTheLockThroughout) {
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
    // A writer that waits is told so once, however long it waits, and
    // stops waiting when asked to.
    int told = 0, asked = 0;
    WriteLockOptions patient;
    patient.wait = std::chrono::milliseconds(commit ? 200 : 60000);
    patient.waiting = [&] { ++told; };
    patient.interrupted = [&] { return !commit && ++asked == 3; };
    EXPECT_FALSE(other->BeginWriteUnit(patient));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(asked, commit ? 0 : 3);
    commit ? c_->CommitBatch() : c_->RollbackBatch();
    EXPECT_FALSE(c_->InTransaction());
    EXPECT_EQ(Mprfs(), commit ? (Ints{1, 2}) : Ints{});
    EXPECT_EQ(other->Execute("insert into qzmap120 (mprf) values (3)"), 1);  // the lock is free again
  }
}

// Rows saved one at a time are committed in full batches as they fill, and
// the rest on leaving, early too; a caller's own transaction is never committed.
TEST_P(StoreConformance, SavedRowsCommitInBatches) {
  auto other = store::Open(location_);  // sees only committed rows
  auto save = [&](SavedRows& saved, int64_t mprf) { Insert(mprf); saved.RowSaved(); };
  {
    SavedRows saved(*c_, 2);
    for (const auto& [mprf, committed] : std::vector<std::pair<int64_t, int64_t>>{{1, 0}, {2, 2}, {3, 2}}) {
      save(saved, mprf);
      EXPECT_EQ(Count("", other.get()), committed) << mprf;
    }
    saved.Finish();
    EXPECT_EQ(Count("", other.get()), 3);
    EXPECT_EQ(saved.rows(), 3u);
  }
  EXPECT_THROW(
      { SavedRows saved(*c_, 100); save(saved, 4); c_->Execute("insert into qzmap120 (no_such_column) values (1)"); },
      ComError);
  EXPECT_EQ(Count("", other.get()), 4);
  EXPECT_FALSE(c_->InTransaction());
  // A transaction the store ended itself (a full disk) must not mask the failure.
  EXPECT_NO_THROW({ SavedRows saved(*c_, 100); save(saved, 5); c_->Execute("rollback"); });
  c_->Execute("begin");
  EXPECT_THROW(
      { SavedRows saved(*c_, 1); save(saved, 6); save(saved, 7); throw std::runtime_error("stop"); },
      std::runtime_error);
  EXPECT_TRUE(c_->InTransaction());
  EXPECT_EQ(Count("", other.get()), 4);
  c_->Execute("rollback");
  EXPECT_EQ(Mprfs(), (Ints{1, 2, 3, 4}));
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
  EXPECT_EQ(ErrorOf([&] { c_->Prepare("select * from nosuch"); }), GetParam().no_such_table);
}

// Reads started ahead in a snapshot give the snapshot's rows, whatever is
// committed and read meanwhile, each whole and in the order asked, also when
// read side by side; a read that cannot start fails when taken. Outside a
// snapshot they read the store as it is when taken.
TEST_P(StoreConformance, ReadsStartedAheadReadTheirSnapshot) {
  c_->Execute(
      "with recursive n(k) as (select 1 union all select k + 1 from n where k < 2500) "
      "insert into qzmap120 (mprf) select k from n");
  auto writer = store::Open(location_);
  c_->BeginSnapshot();
  Insert(5000, writer.get());
  const std::vector<Query> queries = {{"select mprf from qzmap120 where mprf % 2 = 0 order by mprf", {}},
                                      {"select count(*) as n from qzmap120", {}},
                                      {"select mprf from qzmap120 where mprf > 2400 order by mprf desc", {}},
                                      {"select mprf from qzmap120 where mprf < 10 order by mprf", {}}};
  auto ahead = c_->StartReads(queries);
  EXPECT_EQ(ahead->queries(), queries);
  writer->Execute("delete from qzmap120 where mprf in (2, 2500)");
  EXPECT_EQ(Mprfs().size(), 2500u);

  std::vector<std::unique_ptr<Recordset>> reads = ahead->Take();
  ASSERT_EQ(reads.size(), 4u);
  std::vector<Ints> got(reads.size());
  for (bool any = true; any;) {
    any = false;
    for (size_t i = 0; i < reads.size(); ++i) {
      if (reads[i]->IsEOF()) continue;
      got[i].push_back(reads[i]->Fields(0).Integer());
      reads[i]->MoveNext();
      any = true;
    }
  }
  const auto from = [](int64_t k, int64_t end, int64_t step) {
    Ints out;
    for (; k != end; k += step) out.push_back(k);
    return out;
  };
  EXPECT_EQ(got, (std::vector<Ints>{from(2, 2502, 2), {2500}, from(2500, 2400, -1), from(1, 10, 1)}));
  EXPECT_TRUE(ahead->Take().empty());

  // Released untaken, started reads leave the snapshot's other reads as they were.
  c_->StartReads(queries).reset();
  EXPECT_EQ(Mprfs().size(), 2500u);
  auto missing = c_->StartReads({{"select mprf from qzmap120", {}}, {"select * from qzmap999", {}}});
  EXPECT_EQ(ErrorOf([&] { missing->Take(); }), GetParam().no_such_table);
  c_->CommitBatch();

  auto after = c_->StartReads({{"select count(*) from qzmap120 where mprf in (2, 2500, 5000)", {}}});
  writer->Execute("delete from qzmap120 where mprf = 5000");
  EXPECT_EQ(after->Take().front()->Fields(0), Value(0));
}

// A reader that reads a table's rows through alone, as the export writes a
// data file, gets the rows a plain read gives, in the same order and byte
// for byte (the server may stream those after the first piece): inside a
// snapshot and outside one, read in pieces or field by field, and released
// half-way, after which the store answers the next statement.
TEST_P(StoreConformance, RowsReadThroughAloneAreTheRowsAReadGives) {
  // On the server a table of the store keeps the order its rows were added in.
  const std::string order =
      c_->dialect() == Dialect::Postgres ? ", " + std::string(sql::kInsertionOrderColumn) + " bigint generated always as identity" : "";
  c_->ExecuteScript("create table qzddi200 (appl text, seqn integer, dval text, dsca text" + order + ")");
  const auto tricky = [](int n) {
    static const std::string kinds[] = {"Tab\there", "back\\slash \\N", "CR\r\nLF", "\x01sep\x7F",
                                        "m\xE9nage \xFF", "plain"};
    return kinds[n % 6] + " " + std::to_string(n);
  };
  std::vector<int64_t> seqns;
  {
    Batch b(*c_);
    const std::string_view columns[] = {"appl", "seqn", "dval", "dsca"};
    auto inserter = c_->Insert("qzddi200", columns);
    for (int n = 1; n <= 2600; ++n) {
      const bool ours = n % 7 != 0;
      const Value row[] = {Value(ours ? "ACCX2" : "ACC10"), Value(n), Value(tricky(n)),
                           n % 5 == 0 ? Value() : Value(n % 3 == 0 ? std::string() : "Row " + std::to_string(n))};
      inserter->Add(row);
      if (ours) seqns.push_back(n);
    }
    inserter->Flush();
    b.Commit();
  }
  const std::string select = store::SelectApplicationRows(c_->dialect(), "qzddi200", "ACCX2");
  const std::string expected = c_->OpenRecordset(select)->GetString(-1, "\x01", "\r\n");
  ASSERT_GT(seqns.size(), 2000u);

  for (const bool snapshot : {true, false}) {
    SCOPED_TRACE(snapshot ? "in a snapshot" : "outside a snapshot");
    if (snapshot) c_->BeginSnapshot();
    auto rs = c_->OpenRecordset(select);
    rs->ReadThroughAlone();
    std::string got;
    rs->AppendString(got, 1200, "\x01", "\r\n");
    // Field by field past the first pieces, as a reader that looks at rows.
    const int seqn = rs->IndexOf("seqn"), dval = rs->IndexOf("dval"), dsca = rs->IndexOf("dsca");
    for (size_t k = 1200; k < 1300; ++k) {
      ASSERT_FALSE(rs->IsEOF());
      EXPECT_EQ(rs->Fields(seqn), Value(seqns[k])) << k;
      std::string_view text;
      ASSERT_TRUE(rs->ViewText(dval, text)) << k;
      EXPECT_EQ(text, tricky(static_cast<int>(seqns[k]))) << k;
      EXPECT_EQ(rs->Fields(dsca).IsNull(), seqns[k] % 5 == 0) << k;
      rs->AppendString(got, 1, "\x01", "\r\n");
    }
    while (!rs->IsEOF()) rs->AppendString(got, 700, "\x01", "\r\n");
    EXPECT_EQ(got, expected);
    rs.reset();
    if (snapshot) c_->CommitBatch();
  }

  c_->BeginSnapshot();
  auto half = c_->OpenRecordset(select);
  half->ReadThroughAlone();
  std::string got;
  half->AppendString(got, 1500, "\x01", "\r\n");
  half.reset();
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi200 where appl = 'ACC10'")->Fields(0).Integer(),
            2600 - static_cast<int64_t>(seqns.size()));
  c_->CommitBatch();
}

// Bound values find their rows: a quote is data, a text compares as text
// ('7' is not '007'); values and places must pair up. Every byte from 1 to
// 255 travels unchanged however it goes: put into a binary and a text column,
// bound (to a binary column as text and as binary), quoted into the text; and
// a bound text finds it.
TEST_P(StoreConformance, BoundValuesAndEveryByteFrom1To255) {
  c_->Execute("insert into qzmap120 (mprf, vers, rele) values (7, 'X40', '007'), (7, 'O''Brien', '7'), "
              "(8, 'X40', '007')");
  const std::string p1 = c_->Placeholder(1), p2 = c_->Placeholder(2), p3 = c_->Placeholder(3);
  const std::string where = "select mprf from qzmap120 where mprf=" + p1 + " and vers=" + p2 +
                            " and rele=" + p3;
  const struct { int64_t mprf; std::string vers, rele, found; } rows[] = {
      {7, "X40", "007", "7;"}, {7, "O'Brien", "7", "7;"}, {7, "O'Brien", "007", ""}, {8, "X40", "007", "8;"}};
  for (const auto& row : rows) {
    auto rs = c_->OpenRecordset(Query{where, {Value(row.mprf), Value(row.vers), Value(row.rele)}});
    EXPECT_EQ(rs->GetString(-1, ",", ";"), row.found) << row.vers << " " << row.rele;
  }
  const std::string two_places = "select * from qzmap120 where mprf=" + p1 + " and vers=" + p2;
  EXPECT_EQ(ErrorOf([&] { c_->OpenRecordset(Query{two_places, {Value(7)}}); }), 9001);
  EXPECT_EQ(ErrorOf([&] { c_->OpenRecordset(Query{"select * from qzmap120", {Value(7)}}); }), 9001);
  c_->Execute("delete from qzmap120");

  const std::string bytes = BytesFrom(1);
  const std::string_view user[] = {"usrn", "dsca"};
  const Value both[] = {Value(bytes), Value(bytes)};
  c_->Insert("qzusr100", user)->Add(both);
  auto to_binary = c_->Prepare("insert into qzusr100 (usrn, dsca) values (" + p1 + ", 'bound')");
  for (const bool as_blob : {false, true}) {
    to_binary->Bind(1, Value(bytes), as_blob);
    EXPECT_EQ(to_binary->Run(), 1);
  }
  to_binary.reset();
  auto st = c_->Prepare("insert into qzmap120 (mprf, comt) values (1, " + p1 + ")");
  st->Bind(1, Value(bytes));
  st->Run();
  c_->Execute("insert into qzmap120 (mprf, comt) values (2, " + c_->Quote(bytes) + ")");
  const std::pair<std::string, int> selects[] = {{"select usrn from qzusr100", 3},
                                                 {"select dsca from qzusr100 where dsca <> 'bound'", 1},
                                                 {"select comt from qzmap120", 2}};
  for (const auto& [select, count] : selects) {
    SCOPED_TRACE(select);
    int found = 0;
    for (auto back = c_->OpenRecordset(select); !back->IsEOF(); back->MoveNext(), ++found) {
      EXPECT_EQ(back->Fields(0), Value(bytes));
      std::string_view view;
      ASSERT_TRUE(back->ViewText(0, view));
      EXPECT_EQ(view, bytes);
      std::string appended;
      back->AppendField(appended, 0);
      EXPECT_EQ(appended, bytes);
    }
    EXPECT_EQ(found, count);
  }
  const std::string select =
      "select mprf, comt from qzmap120 where comt = " + c_->Placeholder(1) + " order by mprf";
  EXPECT_EQ(c_->OpenRecordset(Query{select, {Value(bytes)}})->GetString(-1, "|", ";"),
            "1|" + bytes + ";2|" + bytes + ";");
}

// The rule writers take a lent text for the value's own text: a field lends
// one only where the two are the same, whatever its type.
TEST_P(StoreConformance, AFieldLendsItsTextOnlyWhereItIsItsValuesText) {
  c_->Execute("insert into qzmap120 (mprf, vers, rele) values (-30, 'X41U', '007')");
  const struct { const char* column; bool always_lent; } rows[] = {
      {"vers", true},  {"rele", true}, {"mprf", false}, {"mprf + 1", false}, {"1.0", false},
      {"2.50", false}, {"cast(1.5 as real)", false}, {"cast(3 as double precision)", false},
      {"1 = 1", false}, {"null", false}, {"9223372036854775807", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.column);
    auto rs = c_->OpenRecordset(std::string("select ") + row.column + " from qzmap120");
    std::string_view view;
    const bool lent = rs->ViewText(0, view);
    const Value value = rs->Fields(0);
    EXPECT_TRUE(lent || !row.always_lent);
    EXPECT_FALSE(lent && value.IsNull());
    if (lent && !value.IsNull()) { EXPECT_EQ(view, value.Text()); }
  }
  // Nothing is lent past the fields or where there is no row.
  std::string_view view = "untouched";
  {
    auto rs = c_->OpenRecordset("select vers from qzmap120 where mprf = -30");
    EXPECT_FALSE(rs->ViewText(1, view));
    EXPECT_FALSE(rs->ViewText(-1, view));
  }
  EXPECT_FALSE(c_->OpenRecordset("select vers from qzmap120 where mprf = -31")->ViewText(0, view));
  EXPECT_EQ(view, "untouched");
}

// A prepared statement runs again with new values and reads the rows it
// steps to; more than one statement runs nothing. A host releases what it
// holds in any order: the connection may go before its recordsets and
// statements and inserters, which must go on working until they go.
TEST_P(StoreConformance, PreparedStatementsRunAgainAndOutliveTheConnection) {
  auto insert = c_->Prepare("insert into qzmap120 (mprf) values (" + c_->Placeholder(1) + ")");
  for (int64_t mprf : {30, 10, 20}) {
    insert->Bind(1, Value(mprf));
    EXPECT_EQ(insert->Run(), 1);
  }
  auto read = c_->Prepare("select mprf, 'X' || mprf from qzmap120 where mprf >= " + c_->Placeholder(1) +
                          " order by mprf");
  EXPECT_EQ(read->ColumnCount(), 2);
  for (const auto& [from, want] : std::vector<std::pair<int64_t, std::string>>{
           {20, "20=X20 30=X30 "}, {40, ""}, {10, "10=X10 20=X20 30=X30 "}}) {
    read->Bind(1, Value(from));
    std::string rows;
    while (read->Step()) rows += read->Column(0).Text() + "=" + read->Column(1).Text() + " ";
    read->Reset();
    EXPECT_EQ(rows, want) << "from " << from;
  }
  EXPECT_EQ(ErrorOf([&] { c_->Prepare("insert into qzmap120 (mprf) values (1); delete from qzmap120"); }),
            Number(Ours::StatementNotSingle));
  EXPECT_EQ(Mprfs(), (Ints{10, 20, 30}));

  auto reader = c_->OpenRecordset("select mprf from qzmap120 order by mprf");
  const std::string_view mprf[] = {"mprf"};
  auto adder = c_->Insert("qzmap120", mprf);
  read.reset();
  c_.reset();
  reader->MoveNext();
  EXPECT_EQ(reader->Fields("MPRF"), Value(int64_t{20}));  // any case of the name
  EXPECT_EQ(ErrorOf([&] { reader->Fields("nosuch"); }), 9020);
  reader.reset();
  const Value forty[] = {Value(40)};
  adder->Add(forty);
  adder->Flush();
  adder.reset();
  insert->Bind(1, Value(50));
  EXPECT_EQ(insert->Run(), 1);
  insert.reset();
  c_ = store::Open(location_);
  EXPECT_EQ(Mprfs(), (Ints{10, 20, 30, 40, 50}));
}

// A select with parameters reads every row it finds whatever it found when
// it ran before with other values: none, a few, a piece's worth and one
// more, several pieces; on a connection of its own and in a snapshot; opened
// alone or together with others. Rows found by a select that ran before
// still change through its recordset.
TEST_P(StoreConformance, SelectsReadEveryRowWhateverTheyFoundBefore) {
  // mprf 1: 3 rows, 2: 6500, 4: 1001, 5: 1000, 3: none.
  for (const auto& [mprf, rows] : {std::pair{1, 3}, {2, 6500}, {4, 1001}, {5, 1000}})
    c_->Execute("insert into qzmap120 (mprf, vers) with recursive n(k) as (select 1 union all select k + 1 from n "
                "where k < " + std::to_string(rows) + ") select " + std::to_string(mprf) + ", 'V' || k from n");
  const std::string every_column = "select * from qzmap120 where mprf = " + c_->Placeholder(1);
  const std::string two_columns = "select mprf, vers from qzmap120 where mprf = " + c_->Placeholder(1);
  const struct { const std::string& select; int mprf; size_t rows; } reads[] = {
      {every_column, 1, 3},    {every_column, 1, 3},    {every_column, 3, 0},    {every_column, 5, 1000},
      {every_column, 4, 1001}, {every_column, 1, 3},    {every_column, 2, 6500}, {every_column, 1, 3},
      {two_columns, 1, 3},     {two_columns, 5, 1000},  {two_columns, 1, 3},     {two_columns, 4, 1001},
      {two_columns, 3, 0},     {two_columns, 2, 6500},  {two_columns, 1, 3},
  };
  const auto check = [](Recordset& rs, int mprf, size_t rows) {
    std::set<std::string> versions;
    EXPECT_EQ(rs.BOF(), rows == 0);
    for (; !rs.IsEOF(); rs.MoveNext()) {
      EXPECT_EQ(rs.Fields("mprf"), Value(int64_t{mprf}));
      versions.insert(rs.Fields("vers").Text());
    }
    EXPECT_EQ(versions.size(), rows);
    if (rows) { EXPECT_TRUE(versions.count("V" + std::to_string(rows))); }
  };
  // Opened together after it ran alone twice: a few rows, a piece's worth,
  // several pieces, none.
  const std::string reversed = "select vers, mprf from qzmap120 where mprf = " + c_->Placeholder(1);
  const std::pair<int, size_t> together[] = {{1, 3}, {5, 1000}, {2, 6500}, {3, 0}, {1, 3}};
  for (const bool snapshot : {false, true}) {
    auto reader = store::Open(location_);
    if (snapshot) reader->BeginSnapshot();
    for (const auto& read : reads) {
      SCOPED_TRACE((snapshot ? "in a snapshot, " : "") + read.select + " with " + std::to_string(read.mprf));
      check(*reader->OpenRecordset(Query{read.select, {Value(int64_t{read.mprf})}}), read.mprf, read.rows);
    }
    for (int twice = 0; twice < 2; ++twice) check(*reader->OpenRecordset(Query{reversed, {Value(int64_t{1})}}), 1, 3);
    std::vector<Query> queries;
    for (const auto& [mprf, rows] : together) queries.push_back(Query{reversed, {Value(int64_t{mprf})}});
    auto opened = reader->OpenRecordsets(queries);
    ASSERT_EQ(opened.size(), std::size(together));
    for (size_t i = 0; i < opened.size(); ++i) {
      SCOPED_TRACE((snapshot ? "together in a snapshot, " : "together, ") + std::to_string(together[i].first));
      check(*opened[i], together[i].first, together[i].second);
    }
    if (snapshot) reader->CommitBatch();
  }
  EXPECT_EQ(Count(" where mprf = 1"), 3);
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
  const ComError e = CaughtFrom([&] {
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
  c_->Execute("insert into qzddi100 (appl, extn) values ('LGA', 0)");
  const struct { std::string name; std::function<void()> refused; } rows[] = {
      {"a delete from a missing table", [&] { c_->Execute("delete from qzmap999 where mprf = 1"); }},
      {"a recordset on a missing table", [&] { c_->OpenRecordset("select * from qzmap999"); }},
      {"an inserter into a missing table", [&] { c_->Columns("qzmap999"); }},
      {"a keyed update of a missing table", [&] {
         c_->UpdateByKey("qzmap999", ColumnValues{{"mprf"}, {Value(1)}}, ColumnValues{{"comt"}, {Value("x")}});
       }},
      {"a statement prepared on a missing table", [&] { c_->Prepare("insert into qzmap999 (mprf) values (1)"); }},
      {"a second row with a unique key", [&] { c_->Execute("insert into qzddi100 (appl, extn) values ('LGA', 1)"); }},
      {"a row inserted with a unique key", [&] {
         const std::string_view appl[] = {"appl"};
         const Value lga[] = {Value("LGA")};
         auto inserter = c_->Insert("qzddi100", appl);
         inserter->Add(lga);
         inserter->Flush();  // inside a transaction a refused row may be reported here
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    c_->Execute("delete from qzmap120");
    { Batch b(*c_); Insert(1); EXPECT_NE(ErrorOf(row.refused), 0); Insert(2); b.Commit(); }
    EXPECT_FALSE(c_->InTransaction());
    EXPECT_EQ(Mprfs(), (Ints{1, 2}));
  }
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi100")->Fields(0), Value(int64_t{1}));
}

}  // namespace
}  // namespace kestrel::store::conformance
