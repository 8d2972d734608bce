// What every store backend must do when it writes rows: inserters and keyed
// updates and deletes, bulk loading, and every byte reaching a binary column.
// In the store conformance suite (conformance.h), run once per backend.
#include <array>

#include "store/conformance.h"

namespace kestrel::store::conformance {
namespace {

// Rows an inserter adds read back as they were given: each value in its own
// form (a whole double without ".0", any other in its shortest exact form),
// every byte from 1 to 255 in a text and a binary column, NULL as NULL; a
// column not named keeps the table's default, one given NULL is NULL. A
// value with a NUL byte is refused for a text column (the rows before it
// saved, nothing of it), kept in a binary one; columns and tables that are
// not there, and rows of the wrong width, are refused before anything is
// written. Inside a transaction and outside one alike.
TEST_P(StoreConformance, InsertedRowsKeepTheirValuesAndTheTablesDefaults) {
  c_->ExecuteScript("create table qzddi230 (appl text, dsca text default 'none', extn integer default 7, crdt text)");
  const std::string bytes = BytesFrom(1);
  const std::string with_nul("before\0after", 12);
  // `read`: the text column's value, "NULL" for NULL.
  const struct { Value given; std::string read; } cases[] = {
      {std::string(300, 'L'), std::string(300, 'L')}, {2.5, "2.5"}, {3.0, "3"}, {0.1 + 0.2, "0.30000000000000004"},
      {7, "7"}, {true, "1"}, {Value(), "NULL"}, {std::string(), ""}, {"O'Brien \\N\t\r\n", "O'Brien \\N\t\r\n"},
      {bytes, bytes}};
  const std::string_view columns[] = {"mprf", "comt"};
  for (const bool in_transaction : {true, false}) {
    SCOPED_TRACE(in_transaction ? "in a transaction" : "outside one");
    c_->Execute("delete from qzmap120");
    std::optional<Batch> b;
    if (in_transaction) b.emplace(*c_);
    auto inserter = c_->Insert("qzmap120", columns);
    for (size_t k = 0; k < std::size(cases); ++k)
      inserter->Add(std::array{Value(static_cast<int64_t>(k)), cases[k].given});
    const Value refused[] = {Value(99), Value(with_nul)};
    EXPECT_EQ(ErrorOf([&] { inserter->Add(refused); }), Number(Ours::NulInValue));
    EXPECT_EQ(Count(), static_cast<int64_t>(std::size(cases)));
    if (b) b->Commit();
    auto rs = c_->OpenRecordset("select mprf, comt from qzmap120 order by mprf");
    for (size_t k = 0; k < std::size(cases); ++k, rs->MoveNext()) {
      ASSERT_FALSE(rs->IsEOF()) << k;
      const Value v = rs->Fields(1);
      EXPECT_EQ(v.IsNull() ? "NULL" : v.Text(), cases[k].read) << k;
    }
    EXPECT_TRUE(rs->IsEOF());
  }

  // A binary column keeps every byte, a NUL too.
  const std::string_view user[] = {"usrn", "dsca"};
  c_->Insert("qzusr100", user)->Add(std::array{Value(bytes + with_nul), Value("m\xE9nage")});
  auto users = c_->OpenRecordset("select usrn, dsca from qzusr100");
  EXPECT_EQ(users->Fields(0), Value(bytes + with_nul));
  EXPECT_EQ(users->Fields(1), Value("m\xE9nage"));

  // Defaults: the columns not named take them, a NULL given does not.
  const std::string_view appl[] = {"appl"};
  const std::string_view every[] = {"appl", "dsca", "extn", "crdt"};
  {
    Batch b(*c_);
    c_->Insert("qzddi230", appl)->Add(std::array{Value("A1")});
    c_->Insert("qzddi230", every)->Add(std::array{Value("A2"), Value(), Value(), Value()});
    b.Commit();
  }
  EXPECT_EQ(c_->OpenRecordset("select appl, coalesce(dsca, 'NULL'), coalesce(extn, -1) from qzddi230 order by appl")
                ->GetString(-1, "|", ";"),
            "A1|none|7;A2|NULL|-1;");

  const std::string_view unknown[] = {"appl", "nosuch"};
  EXPECT_EQ(ErrorOf([&] { c_->Insert("qzddi230", unknown); }), Number(Ours::FieldNotFound));
  const ComError missing = CaughtFrom([&] { c_->Insert("qzddi999", appl); });
  EXPECT_TRUE(c_->IsMissingTable(missing)) << missing.description();
  EXPECT_TRUE(c_->IsMissingTable(CaughtFrom([&] { c_->Columns("qzddi999"); })));
  EXPECT_EQ(ErrorOf([&] { c_->Insert("qzddi230", appl)->Add(std::array{Value("A3"), Value("two")}); }),
            Number(Ours::Internal));
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi230")->Fields(0), Value(2));
}

// Rows inserted inside a transaction, as an import adds them, at the sizes
// where the stores group them (none, one, around a group of a file store
// and of a server's COPY): every row is there once flushed, read by another
// statement, or committed, and counted. Outside a transaction each row
// commits by itself: another connection sees it at once.
TEST_P(StoreConformance, InsertedRowsAreAllThereWhateverTheirNumber) {
  const std::string_view columns[] = {"mprf", "tcpac", "comt"};
  int64_t total = 0;
  RowChangeCounts counts;
  c_->CountRowChanges(&counts);
  for (const int rows : {0, 1, 15, 16, 17, 33, 4999, 5000, 5001, 10001}) {
    SCOPED_TRACE(rows);
    Batch b(*c_);
    auto inserter = c_->Insert("qzmap120", columns);
    for (int n = 1; n <= rows; ++n)
      inserter->Add(std::array{Value(n), n % 3 ? Value("ACC" + std::to_string(n)) : Value(),
                               Value("Tab\tand\\back\nslash " + std::to_string(rows))});
    // Flushed, read by the next statement, or sent at the commit.
    const std::string these = " where comt like '%slash " + std::to_string(rows) + "'";
    if (rows % 2) inserter->Flush();
    if (rows % 3 == 0) { EXPECT_EQ(Count(these), rows); }
    inserter.reset();
    b.Commit();
    total += rows;
    EXPECT_EQ(Count(these), rows);
    EXPECT_EQ(Count(these + " and tcpac is null"), rows / 3);
  }
  c_->CountRowChanges(nullptr);
  EXPECT_EQ(counts["qzmap120"].added, total);

  auto other = store::Open(location_);
  auto inserter = c_->Insert("qzmap120", columns);
  for (int n = 1; n <= 17; ++n) {
    inserter->Add(std::array{Value(90000 + n), Value(), Value("alone")});
    EXPECT_EQ(Count(" where comt = 'alone'", other.get()), n);
  }
}

// A row the store refuses fails alone, wherever it stands among the rows
// waiting with it: the rows before it are saved and counted, none after it,
// and the transaction goes on; an inserter dropped unflushed leaves it to the
// next statement. Rows inserted in a batch rolled back are gone, those sent
// on their way and those still waiting, also after a failed statement.
TEST_P(StoreConformance, InsertedRowsAreSavedAsIfOneByOne) {
  RowChangeCounts counts;
  c_->CountRowChanges(&counts);
  Batch b(*c_);
  c_->Execute("insert into qzddi100 (appl, extn) values ('LGA', 0)");
  const std::string_view columns[] = {"appl", "extn"};
  const struct { int rows, refused_at; bool flushed; } loads[] = {
      {4, 3, true}, {40, 16, true}, {40, 17, true}, {100, 64, true}, {5600, 100, true}, {5600, 5300, true},
      {70, 1, true}, {6, 4, false}};
  int64_t saved = 0;
  for (const auto& load : loads) {
    SCOPED_TRACE(load.refused_at);
    const std::string prefix = "A" + std::to_string(load.refused_at) + "_" + std::to_string(load.rows) + "_";
    const ComError refused = CaughtFrom([&] {
      auto apps = c_->Insert("qzddi100", columns);
      for (int n = 1; n <= load.rows; ++n)
        apps->Add(std::array{Value(n == load.refused_at ? "LGA" : prefix + std::to_string(n)), Value(n)});
      if (load.flushed) apps->Flush();
      apps.reset();
      Count();
    });
    EXPECT_EQ(refused.number(), GetParam().unique_violation) << refused.description();
    saved += load.refused_at - 1;
    EXPECT_EQ(c_->OpenRecordset("select count(*), coalesce(max(extn), 0) from qzddi100 where appl like '" + prefix +
                                "%'")->GetString(-1, "|", ";"),
              std::to_string(load.refused_at - 1) + "|" + std::to_string(load.refused_at - 1) + ";");
  }
  Insert(9000);
  b.Commit();
  c_->CountRowChanges(nullptr);
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi100")->Fields(0), Value(1 + saved));
  EXPECT_EQ(counts["qzddi100"].added, 1 + saved);

  const std::string_view rule[] = {"mprf", "comt"};
  const int64_t kept = Count();
  Batch around(*c_);
  for (const bool failed_first : {false, true}) {
    Batch rolled_back(*c_);
    if (failed_first) {
      EXPECT_EQ(ErrorOf([&] { c_->Execute("insert into qzddi100 (appl, extn) values ('LGA', 1)"); }),
                GetParam().unique_violation);
    }
    auto more = c_->Insert("qzmap120", rule);
    for (int64_t n = 1; n <= 3000; ++n)
      more->Add(std::array{Value(5000 + n), Value("Rolled back with its batch, row " + std::to_string(n))});
  }
  Insert(9001);
  around.Commit();
  EXPECT_EQ(Count(), kept + 1);
}

// Keyed updates and deletes change exactly the rows whose key columns equal
// the values given: none when none match (a NULL matches nothing, a quote is
// data), all that do; each value in the form an insert gives it, every byte
// kept. A NUL in a text, an unknown column or an empty key is refused and
// changes nothing. A delete counts its rows, an update none.
TEST_P(StoreConformance, KeyedUpdatesAndDeletesChangeTheRowsOfTheirKey) {
  c_->Execute(
      "insert into qzmap120 (mprf, vers, comt) values (1, 'X40', 'one'), (2, 'X40', 'two'), (2, 'X41', 'two b'),"
      " (6, 'O''Brien', 'six'), (6, 'O''Brien', 'six'), (7, null, 'seven')");
  const std::string bytes = BytesFrom(1);
  const auto key = [](std::vector<std::string_view> columns, std::vector<Value> values) {
    return ColumnValues{std::move(columns), std::move(values)};
  };
  const auto comts = [&] {
    return c_->OpenRecordset("select mprf, coalesce(vers, 'NULL'), coalesce(comt, 'NULL'), coalesce(isms, 'NULL')"
                             " from qzmap120 order by mprf, vers, comt")
        ->GetString(-1, "|", ";");
  };
  RowChangeCounts counts;
  c_->CountRowChanges(&counts);
  // `after`: the rows of mprf 2, 6 and 7.
  const struct { ColumnValues key, set; int64_t changed; std::string after; } updates[] = {
      {key({"mprf", "vers"}, {2, "X40"}), key({"comt", "isms"}, {"changed", 1.5}), 1,
       "2|X40|changed|1.5;2|X41|two b|NULL;6|O'Brien|six|NULL;6|O'Brien|six|NULL;7|NULL|seven|NULL;"},
      {key({"mprf", "vers"}, {2, "X42"}), key({"comt"}, {"none"}), 0,
       "2|X40|changed|1.5;2|X41|two b|NULL;6|O'Brien|six|NULL;6|O'Brien|six|NULL;7|NULL|seven|NULL;"},
      {key({"mprf", "vers"}, {7, Value()}), key({"comt"}, {"null key"}), 0,
       "2|X40|changed|1.5;2|X41|two b|NULL;6|O'Brien|six|NULL;6|O'Brien|six|NULL;7|NULL|seven|NULL;"},
      {key({"vers"}, {"O'Brien"}), key({"isms", "comt"}, {3.0, Value()}), 2,
       "2|X40|changed|1.5;2|X41|two b|NULL;6|O'Brien|NULL|3;6|O'Brien|NULL|3;7|NULL|seven|NULL;"},
      {key({"MPRF"}, {7}), key({"comt"}, {bytes}), 1,
       "2|X40|changed|1.5;2|X41|two b|NULL;6|O'Brien|NULL|3;6|O'Brien|NULL|3;7|NULL|" + bytes + "|NULL;"},
      {key({"mprf"}, {2}), key({}, {}), 0,
       "2|X40|changed|1.5;2|X41|two b|NULL;6|O'Brien|NULL|3;6|O'Brien|NULL|3;7|NULL|" + bytes + "|NULL;"},
  };
  for (const auto& u : updates) {
    SCOPED_TRACE(u.after);
    EXPECT_EQ(c_->UpdateByKey("qzmap120", u.key, u.set), u.changed);
    EXPECT_EQ(comts().substr(comts().find(";2|")), ";" + u.after);
  }
  const std::string before = comts();
  const ColumnValues one = key({"mprf"}, {1});
  EXPECT_EQ(ErrorOf([&] { c_->UpdateByKey("qzmap120", one, key({"comt"}, {std::string("a\0b", 3)})); }),
            Number(Ours::NulInValue));
  EXPECT_EQ(ErrorOf([&] { c_->UpdateByKey("qzmap120", one, key({"nosuch"}, {1})); }), Number(Ours::FieldNotFound));
  EXPECT_EQ(ErrorOf([&] { c_->UpdateByKey("qzmap120", key({}, {}), key({"comt"}, {"all"})); }),
            Number(Ours::Internal));
  EXPECT_EQ(ErrorOf([&] { c_->DeleteByKey("qzmap120", key({"nosuch"}, {1})); }), Number(Ours::FieldNotFound));
  EXPECT_EQ(comts(), before);

  // A binary column is matched and set byte for byte.
  c_->Execute("insert into qzusr100 (dsca) values ('binary')");
  EXPECT_EQ(c_->UpdateByKey("qzusr100", key({"dsca"}, {"binary"}), key({"usrn"}, {bytes})), 1);
  EXPECT_EQ(c_->OpenRecordset("select usrn from qzusr100")->Fields(0), Value(bytes));
  EXPECT_EQ(c_->DeleteByKey("qzusr100", key({"usrn"}, {bytes})), 1);

  EXPECT_EQ(c_->DeleteByKey("qzmap120", key({"mprf", "vers"}, {6, "O'Brien"})), 2);
  EXPECT_EQ(c_->DeleteByKey("qzmap120", key({"mprf"}, {8})), 0);
  c_->CountRowChanges(nullptr);
  EXPECT_EQ(counts["qzmap120"].deleted, 2);
  EXPECT_EQ(counts["qzmap120"].added, 0);
  EXPECT_EQ(Count(), 4);
}

// Bulk loading: rows and their values as the store keeps them, batches
// committed and kept when a later row is refused, the log and error files,
// and names that are no table.
TEST_P(StoreConformance, BulkLoadLoadsEveryRowWithEmptyFieldsAsNullAndNumbersAsNumbers) {
  // The last line has no CR LF; a lone CR or LF inside a field stays in it.
  std::string file = Data("qzddi100LGA.dat", {"LGA" + S + "Ledger" + S + S + "2026-01-02 10:11:12" + S + "0",
                                               "EXB" + S + "Ext\rended\nbook" + S + "2.1" + S + S + "1"});
  WriteFile(file, ReadFile(file) + "ZZ9" + S + "Last" + S + S + S + "1");
  BulkLoadOptions o;
  o.error_path = dir_ / "t.err";
  EXPECT_EQ(c_->BulkLoad(Env::Default(), "qzddi100", file, o).rows_loaded, 3);

  // Empty fields are NULL; a number column keeps numbers.
  EXPECT_EQ(c_->OpenRecordset("select appl, dsca, aver is null, crdt is null, extn, " + GetParam().type_of +
                              "(extn) from qzddi100 order by appl")
                ->GetString(-1, "|", ";"),
            "EXB|Ext\rended\nbook|0|1|1|integer;LGA|Ledger|1|0|0|integer;ZZ9|Last|1|1|1|integer;");
  EXPECT_EQ(ReadFile(o.error_path), "");
}

TEST_P(StoreConformance, BulkLoadARefusedRowKeepsTheBatchesBeforeItAndIsNamedInTheErrorFile) {
  std::vector<std::string> lines = DomainLines(8);
  lines[6] = "EXB" + S + "CURR" + S + "V7";  // three fields where the table has four
  std::string file = Data("qzddi160EXB.dat", lines);
  BulkLoadOptions o;
  o.rows_per_batch = 3;
  o.log_path = dir_ / "qzddi160EXB.log";
  o.error_path = dir_ / "qzddi160EXB.err";
  std::vector<int64_t> progress;
  o.progress = [&](int64_t rows) { progress.push_back(rows); };
  // Rows 1-6 stay in two committed batches; the load stopped at `line`
  // (1-based), whose text the error file shows with the reason.
  bool in_transaction = false;
  const auto expect_stopped_at = [&](const ComError& e, int line) {
    EXPECT_EQ(DomainValues(), "V1,V2,V3,V4,V5,V6,");
    EXPECT_EQ(progress, (std::vector<int64_t>{3, 6}));
    EXPECT_EQ(c_->InTransaction(), in_transaction);
    EXPECT_EQ(ReadFile(o.error_path), "Line: " + std::to_string(line) + "\r\nText: " + lines[line - 1] +
                                          "\r\nReason: " + e.description() + "\r\n");
    EXPECT_EQ(ReadFile(o.log_path), LoadLog(file, line, 6, 2, line));
  };

  // Inside the caller's transaction, whose batches commit nothing, the load
  // tells the same.
  for (const bool in : {true, false}) {
    SCOPED_TRACE(in ? "in a transaction" : "alone");
    in_transaction = in;
    progress.clear();
    if (in) c_->Execute("begin");
    // The rows a load adds count as added to their table, as any insert's do.
    RowChangeCounts counts;
    c_->CountRowChanges(&counts);
    const ComError e = CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi160", file, o); });
    c_->CountRowChanges(nullptr);
    EXPECT_EQ(counts["qzddi160"].added, 6);
    EXPECT_EQ(counts["qzddi160"].deleted, 0);
    EXPECT_EQ(e.number(), Number(Ours::MalformedPackFile));
    EXPECT_NE(e.description().find(file + ", line 7: a row of 3 fields where table qzddi160 has 4 columns"),
              std::string::npos)
        << e.description();
    // Row 7 refused; row 8 never read.
    expect_stopped_at(e, 7);
    if (in) c_->Execute("rollback");
  }

  // The rows are read on a second thread: a read failing in the middle of
  // line 7 there stops the load after the rows before it, as a read in place
  // does, with the device's error, the last row read named.
  c_->Execute("delete from qzddi160");
  progress.clear();
  lines[6] = Domain(7);
  file = Data("qzddi160EXB.dat", lines);
  size_t six_lines = 0;
  for (size_t k = 0; k < 6; ++k) six_lines += lines[k].size() + 2;
  FaultEnv faults;
  faults.FailRead("qzddi160EXB.dat", 1, six_lines + 5, EIO);
  const ComError failed_read = CaughtFrom([&] { c_->BulkLoad(faults, "qzddi160", file, o); });
  EXPECT_EQ(failed_read.number(), EIO);
  expect_stopped_at(failed_read, 6);
}

// Inside the caller's transaction the batches commit nothing: the counts, the
// log and the progress tell of them all the same.
TEST_P(StoreConformance, BulkLoadTellsOfItsBatchesInsideATransactionToo) {
  const struct { int rows; int64_t batches; std::vector<int64_t> progress; } loads[] = {
      {8, 3, {3, 6, 8}}, {6, 2, {3, 6}}, {2, 1, {2}}};
  for (const auto& load : loads) {
    const std::string file = Data("qzddi160EXB.dat", DomainLines(load.rows));
    std::string values;
    for (int k = 1; k <= load.rows; ++k) values += "V" + std::to_string(k) + ",";
    for (const bool in_transaction : {false, true}) {
      SCOPED_TRACE(::testing::Message() << load.rows << " rows" << (in_transaction ? ", in a transaction" : ""));
      c_->Execute("delete from qzddi160");
      if (in_transaction) c_->Execute("begin");
      BulkLoadOptions o;
      o.rows_per_batch = 3;
      o.log_path = dir_ / "qzddi160EXB.log";
      std::vector<int64_t> progress;
      o.progress = [&](int64_t rows) { progress.push_back(rows); };
      const BulkLoadCounts n = c_->BulkLoad(Env::Default(), "qzddi160", file, o);
      EXPECT_EQ(n.rows_read, load.rows);
      EXPECT_EQ(n.rows_loaded, load.rows);
      EXPECT_EQ(n.batches, load.batches);
      EXPECT_EQ(progress, load.progress);
      EXPECT_EQ(ReadFile(o.log_path), LoadLog(file, load.rows, load.rows, load.batches));
      EXPECT_EQ(DomainValues(), values);
      EXPECT_EQ(c_->InTransaction(), in_transaction);
      if (in_transaction) c_->Execute("commit");
    }
  }
}

// A row the store refuses rolls back its own batch only; inside the caller's
// transaction batches are savepoints, and the caller's work stays open. The
// refused row is named wherever it stands among the rows sent together.
TEST_P(StoreConformance, BulkLoadARowTheStoreRefusesRollsBackItsBatchOnly) {
  // Line `repeated` repeats the application of the line before.
  const struct { int rows, per_batch, repeated; } loads[] = {
      {6, 2, 5}, {120, 50, 77}, {120, 50, 51}, {120, 100, 100}, {40, 1000, 33}};
  for (const auto& load : loads) {
    std::vector<std::string> lines;  // qzddi100 holds each application once
    for (int n = 1; n <= load.rows; ++n)
      lines.push_back("A" + std::to_string(n == load.repeated ? n - 1 : n) + S + "d" + S + S + S + "0");
    const std::string file = Data("qzddi100A.dat", lines);
    const int kept = (load.repeated - 1) / load.per_batch * load.per_batch;  // the batches before the refused row's
    for (bool in_transaction : {false, true}) {
      SCOPED_TRACE(::testing::Message() << load.rows << " rows, " << load.per_batch << " a batch, line "
                                        << load.repeated << (in_transaction ? ", in a transaction" : ""));
      c_->Execute("delete from qzddi100");
      if (in_transaction) c_->Execute("begin");
      c_->Execute("insert into qzddi100 (appl) values ('A0')");
      BulkLoadOptions o;
      o.rows_per_batch = load.per_batch;
      o.error_path = dir_ / "qzddi100A.err";
      ComError e = CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi100", file, o); });
      EXPECT_EQ(e.number(), GetParam().unique_violation);
      // The refused row, found among the batch's held rows, is the one named.
      EXPECT_EQ(ReadFile(o.error_path), "Line: " + std::to_string(load.repeated) + "\r\nText: " +
                                            lines[load.repeated - 1] + "\r\nReason: " + e.description() + "\r\n");
      const std::string repeated = "A" + std::to_string(load.repeated - 1);
      EXPECT_NE(e.description().find(GetParam().duplicate_key("qzddi100", "appl", repeated) + ": " + file +
                                     ", line " + std::to_string(load.repeated)),
                std::string::npos)
          << e.description();
      EXPECT_EQ(c_->InTransaction(), in_transaction);
      // A0 and the kept batches' rows, the last of them there and the next one not.
      const auto has = [](int n) { return "count(case when appl = 'A" + std::to_string(n) + "' then 1 end)"; };
      EXPECT_EQ(c_->OpenRecordset("select count(*), count(distinct appl), " + has(kept) + ", " + has(kept + 1) +
                                  " from qzddi100")
                    ->GetString(-1, "|", ";"),
                std::to_string(kept + 1) + "|" + std::to_string(kept + 1) + "|1|0;");
      if (in_transaction) c_->Execute("rollback");
    }
  }
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi100")->Fields(0).Integer(), 0);
}

TEST_P(StoreConformance, BulkLoadTablesThatAreNotThereAndFilesThatAreMissing) {
  std::string file = Data("d.dat", {Domain(1)});
  BulkLoadOptions o;
  ComError missing = CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi999", file, o); });
  EXPECT_EQ(missing.number(), GetParam().no_such_table);
  EXPECT_NE(missing.description().find("no such table: qzddi999"), std::string::npos);
  // A name that is no plain table name never reaches a statement.
  ComError odd = CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi160 where 1=2; drop table qzddi100", file, o); });
  EXPECT_EQ(odd.number(), GetParam().no_such_table);
  EXPECT_EQ(c_->OpenRecordset("select count(*) from qzddi100")->Fields(0).Integer(), 0);  // still there
  // A missing data file is the file seam's 53, before any file is written.
  o.log_path = dir_ / "x.log";
  EXPECT_EQ(CaughtFrom([&] { c_->BulkLoad(Env::Default(), "qzddi160", dir_ / "none.dat", o); }).number(), 53);
  EXPECT_FALSE(files::FileExists(Env::Default(), o.log_path));
  EXPECT_TRUE(c_->CanBulkLoad());
}

// Values keep every byte a pack can hold, in a text and in a binary column,
// also those a store's own load format would read as escapes or as NULL.
TEST_P(StoreConformance, BulkLoadKeepsEveryByteOfAValue) {
  const std::string every_byte = BytesFrom(2);  // character 1 separates the fields
  // Every byte from 2 to 255, a path with backslashes, backslash N, a tab and a lone CR.
  std::vector<std::string> values = {every_byte, "C:\\Profiles\\new\\table.dat", "\\N", "Ledger\tEUR\rUSD"};
  std::vector<std::string> lines;
  for (const auto& value : values) lines.push_back(value + S + value);
  BulkLoadOptions o;
  EXPECT_EQ(c_->BulkLoad(Env::Default(), "qzusr100", Data("qzusr100.dat", lines), o).rows_loaded, 4);
  std::vector<std::string> found;
  for (auto rs = c_->OpenRecordset("select usrn, dsca from qzusr100"); !rs->IsEOF(); rs->MoveNext()) {
    EXPECT_EQ(rs->Fields("usrn"), rs->Fields("dsca"));
    found.push_back(rs->Fields("dsca").Text());
  }
  std::sort(found.begin(), found.end());
  std::sort(values.begin(), values.end());
  EXPECT_EQ(found, values);
}

}  // namespace
}  // namespace kestrel::store::conformance
